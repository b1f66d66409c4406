#pragma once

#include <QString>

namespace clipvane {

// What the program asks of the desktop. The window supplies the real one; tests supply a
// recorder, so no test can open a file manager or shut the machine down.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Opens a folder in the file manager; false when no file manager could be started.
    virtual bool openFolder(const QString& folder) = 0;
    // Shuts the computer down (no restart): empty when the system took the request, else
    // why it refused, in its own words.
    virtual QString shutdown() = 0;
    // Shows the help file in the program's help window; a missing file shows nothing.
    virtual void showHelp(const QString& helpFile) = 0;
};

} // namespace clipvane
