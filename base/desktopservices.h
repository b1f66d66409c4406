#pragma once

#include <QString>
#include <functional>

namespace clipvane {

// What the program asks of the desktop. The window supplies the real one; tests supply a
// recorder, so no test can open a file manager or shut the machine down.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Opens a folder in the file manager; false when no file manager could be started.
    virtual bool openFolder(const QString& folder) = 0;
    // Asks the system to shut the computer down (no restart) and returns at once. answered is
    // called once, from the event loop: with an empty text when the system took the request,
    // else with why it refused, in its own words.
    virtual void shutdown(std::function<void(const QString& refusal)> answered) = 0;
    // Shows the help file in the program's help window; a missing file shows nothing.
    virtual void showHelp(const QString& helpFile) = 0;
};

} // namespace clipvane
