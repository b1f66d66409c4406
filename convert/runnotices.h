#pragma once

#include "convert/batchrun.h"

#include <QObject>
#include <QString>

namespace clipvane {

class BatchProgress;
class DesktopNotices;

// Tells the desktop about a batch: its progress on the launcher while it runs (the whole
// list's bar and the files left), and a notification when it ends ("12 files converted, 1
// failed") whose action opens the output folder.
class RunNotices : public QObject {
    Q_OBJECT
public:
    RunNotices(BatchRun* run, BatchProgress* progress, DesktopNotices* notices,
               QObject* parent = nullptr);

    // The notification's two lines for a run that ended so.
    static QString summaryOf(const RunOutcome& outcome);
    static QString bodyOf(const RunOutcome& outcome);

private:
    void showProgress();

    BatchRun* m_run;
    DesktopNotices* m_notices;
    int m_total = 0; // the whole list's bar, 0 to 100
};

} // namespace clipvane
