#pragma once

#include <QString>

namespace clipvane {

// Every message the program shows goes through here, always with the caption "Clipvane".
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
};

inline constexpr const char* kApplicationTitle = "Clipvane";

} // namespace clipvane
