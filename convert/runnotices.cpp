#include "convert/runnotices.h"

#include "base/desktopnotices.h"
#include "convert/batchprogress.h"
#include "convert/runcompletion.h"

#include <QCoreApplication>

namespace clipvane {

RunNotices::RunNotices(BatchRun* run, BatchProgress* progress, DesktopNotices* notices,
                       QObject* parent)
    : QObject(parent), m_run(run), m_notices(notices) {
    if (!m_notices)
        return;
    connect(progress, &BatchProgress::totalProgressChanged, this, [this](int value) {
        m_total = value;
        showProgress();
    });
    connect(run, &BatchRun::runBegan, this, [this] {
        m_total = 0;
        showProgress();
    });
    connect(run, &BatchRun::itemStarted, this, &RunNotices::showProgress);
    connect(run, &BatchRun::itemDone, this, &RunNotices::showProgress);
    connect(run, &BatchRun::runFinished, this, [this](const RunOutcome& outcome) {
        m_notices->showProgress(std::nullopt, 0);
        m_notices->notify(summaryOf(outcome), bodyOf(outcome), outcome.outputFolder);
    });
}

void RunNotices::showProgress() {
    if (m_run->isRunning())
        m_notices->showProgress(m_total / 100.0, m_run->waitingCount() + m_run->underWayCount());
}

QString RunNotices::summaryOf(const RunOutcome& outcome) {
    switch (outcome.end) {
    case RunOutcome::End::Cancelled:
        return QCoreApplication::translate("clipvane::RunCompletion",
                                           RunCompletion::kCancelledMessage);
    case RunOutcome::End::MissingInput:
        return QCoreApplication::translate("clipvane::RunCompletion", "Invalid input file name. ") +
               outcome.missingInput;
    case RunOutcome::End::Completed:
        break;
    }
    return QCoreApplication::translate("clipvane::RunCompletion", "Conversion completed!");
}

QString RunNotices::bodyOf(const RunOutcome& outcome) {
    QString body = outcome.converted == 1 ? tr("1 file converted")
                                          : tr("%1 files converted").arg(outcome.converted);
    if (outcome.failed > 0)
        body += tr(", %1 failed").arg(outcome.failed);
    return body;
}

} // namespace clipvane
