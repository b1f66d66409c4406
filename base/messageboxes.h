#pragma once

#include <QString>

namespace clipvane {

// What Cancel on the progress panel does, as the user chose.
enum class CancelChoice { KeepConverting, StopNow, SkipThisFile, FinishThisFile };

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
    // Asks what Cancel should do: "Stop now", "Skip this file" or "Finish this file, then
    // stop"; Escape or closing the box keeps converting.
    virtual CancelChoice cancelChoice() { return CancelChoice::StopNow; }
};

inline constexpr const char* kApplicationTitle = "Clipvane";

} // namespace clipvane
