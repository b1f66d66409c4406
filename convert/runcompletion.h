#pragma once

#include "convert/batchrun.h"

#include <QObject>
#include <QString>

namespace clipvane {

class DesktopServices;
class MessageBoxes;

// What happens when a batch run has ended: a run that was cancelled or stopped at a missing
// file says so; a completed one shuts the computer down when the settings ask for it (after a
// countdown the user can cancel), says "Conversion completed!" (with the failures, or why the
// system refused to shut down), and opens the output folder.
class RunCompletion : public QObject {
    Q_OBJECT
public:
    RunCompletion(BatchRun* run, DesktopServices* desktop, MessageBoxes* messages,
                  QObject* parent = nullptr);

    // Whether the computer shuts down when a run completes (the run's own settings).
    void setAutoShut(bool on) { m_autoShut = on; }

    static constexpr const char* kCancelledMessage = QT_TR_NOOP("Conversion Canceled by the user!");
    static constexpr int kShutdownCountdownSeconds = 60;

signals:
    // Something the user should know that is no failure of a file (for the status bar).
    void notice(const QString& text);
    // Everything said and done for the run that ended.
    void finished();

private:
    void onRunFinished(const RunOutcome& outcome);
    void reportCompleted(const RunOutcome& outcome, const QString& notShutDown);

    DesktopServices* m_desktop;
    MessageBoxes* m_messages;
    bool m_autoShut = false;
};

} // namespace clipvane
