#pragma once

#include <QString>

namespace clipvane {

// What Cancel on the progress panel does, as the user chose.
enum class CancelChoice { KeepConverting, StopNow, SkipThisFile, FinishThisFile };

// What quitting during a run does to the files under way, as the user chose.
enum class QuitChoice { FinishInBackground, StopNow, KeepConverting };

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
    // Asks what quitting does to the files being converted (and says how many more wait):
    // "Finish in the background" (the default), "Stop now" or "Keep converting" (Escape).
    virtual QuitChoice quitChoice(int underWay, int waiting) {
        Q_UNUSED(underWay);
        Q_UNUSED(waiting);
        return QuitChoice::FinishInBackground;
    }
    // A question that does something that cannot be taken back: true for Yes, false for No
    // (and Escape).
    virtual bool confirm(const QString& text) {
        Q_UNUSED(text);
        return true;
    }
};

inline constexpr const char* kApplicationTitle = "Clipvane";

} // namespace clipvane
