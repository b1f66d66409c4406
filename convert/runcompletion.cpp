#include "convert/runcompletion.h"

#include "base/desktopservices.h"
#include "base/messageboxes.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace clipvane {

RunCompletion::RunCompletion(BatchRun* run, DesktopServices* desktop, MessageBoxes* messages,
                             QObject* parent)
    : QObject(parent), m_desktop(desktop), m_messages(messages) {
    connect(run, &BatchRun::runFinished, this, &RunCompletion::onRunFinished);
}

void RunCompletion::onRunFinished(const RunOutcome& outcome) {
    switch (outcome.end) {
    case RunOutcome::End::Cancelled:
        // The user's own choice, not a failure.
        if (m_messages)
            m_messages->information(tr(kCancelledMessage));
        emit finished();
        return;
    case RunOutcome::End::MissingInput:
        if (m_messages)
            m_messages->error(tr("Invalid input file name. ") + outcome.missingInput);
        emit finished();
        return;
    case RunOutcome::End::Completed:
        break;
    }
    // A shutdown the user can still stop: a minute's countdown with Cancel first. One the
    // system refuses is said with the completion message.
    if (m_autoShut && m_desktop &&
        (!m_messages || m_messages->shutdownCountdown(kShutdownCountdownSeconds))) {
        QPointer<RunCompletion> self(this);
        m_desktop->shutdown([self, outcome](const QString& refused) {
            if (self)
                self->reportCompleted(
                    outcome, refused.isEmpty()
                                 ? QString()
                                 : tr("The computer could not be shut down: %1").arg(refused));
        });
        return;
    }
    reportCompleted(outcome, QString());
}

void RunCompletion::reportCompleted(const RunOutcome& outcome, const QString& notShutDown) {
    if (m_messages) {
        QString done = tr("Conversion completed!");
        if (outcome.failed == 0 && notShutDown.isEmpty()) {
            m_messages->information(done);
        } else {
            if (outcome.failed > 0)
                done += QLatin1Char('\n') +
                        tr("%1 of %2 %3 failed. Hover over a failed row to see why.")
                            .arg(outcome.failed)
                            .arg(outcome.tried)
                            .arg(outcome.tried == 1 ? tr("file") : tr("files"));
            if (!notShutDown.isEmpty())
                done += QLatin1Char('\n') + notShutDown;
            m_messages->warning(done);
        }
    }
    if (m_desktop && QFileInfo(outcome.outputFolder).isDir() &&
        !m_desktop->openFolder(outcome.outputFolder))
        emit notice(tr("The output folder %1 could not be opened: no file manager "
                       "answered (is xdg-open installed?).")
                        .arg(QDir::toNativeSeparators(outcome.outputFolder)));
    emit finished();
}

} // namespace clipvane
