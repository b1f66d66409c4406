#pragma once

#include <QString>

namespace clipvane {

// Every message the program shows goes through here, always with the caption "Clipvane" and
// as plain text (a file name is never read as markup).
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    // A result that is partly a failure: the warning icon.
    virtual void warning(const QString& text) = 0;
    // "The computer will shut down in N s." counting down, with Cancel: true when the time
    // ran out, false when the user cancelled.
    virtual bool shutdownCountdown(int seconds) = 0;
};

inline constexpr const char* kApplicationTitle = "Clipvane";

} // namespace clipvane
