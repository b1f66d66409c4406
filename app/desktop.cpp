#include "app/desktop.h"

#include "process/toolprocess.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace clipvane {

bool RealDesktopServices::openFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void RealDesktopServices::shutdown(std::function<void(const QString& refusal)> answered) {
    const auto say = [](const char* text) {
        return QCoreApplication::translate("clipvane::RealDesktopServices", text);
    };
    const auto answerSoon = [answered](const QString& refusal) {
        QTimer::singleShot(0, [answered, refusal] { answered(refusal); });
    };
    const QString replacement = qEnvironmentVariable("CLIPVANE_SHUTDOWN_COMMAND");
    const QStringList args =
        replacement.isEmpty() ? QStringList{QStringLiteral("systemctl"), QStringLiteral("poweroff")}
                              : QProcess::splitCommand(replacement);
    if (args.isEmpty())
        return answerSoon(
            say(QT_TRANSLATE_NOOP("clipvane::RealDesktopServices", "no shutdown command is set.")));
    // The command answers at once whether the system takes the request (no rights, no
    // systemd: it says why); the window stays live meanwhile.
    constexpr int kAnswerMs = 60000;
    auto* command = new ToolProcess;
    ToolProcess::Options options;
    options.standardOutput = ToolProcess::Channel::Keep;
    options.standardError = ToolProcess::Channel::Merge;
    options.timeLimitMs = kAnswerMs;
    QObject::connect(
        command, &ToolProcess::finished, command,
        [command, answered, args, say](const ToolExit& exit) {
            command->deleteLater();
            if (exit.succeeded())
                return answered(QString());
            if (exit.timedOut)
                return answered(QString(say(QT_TRANSLATE_NOOP("clipvane::RealDesktopServices",
                                                              "%1 gave no answer within %2 s.")))
                                    .arg(args.first())
                                    .arg(kAnswerMs / 1000));
            const QString said = QString::fromLocal8Bit(command->output()).simplified();
            if (!said.isEmpty())
                return answered(said);
            answered(QString(say(QT_TRANSLATE_NOOP("clipvane::RealDesktopServices",
                                                   "%1 ended with exit code %2.")))
                         .arg(args.first())
                         .arg(exit.exitCode));
        });
    if (!command->start(args, options)) {
        delete command;
        answerSoon(QString(say(QT_TRANSLATE_NOOP("clipvane::RealDesktopServices",
                                                 "%1 could not be started.")))
                       .arg(args.first()));
    }
}

void RealDesktopServices::showHelp(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        return; // a missing help file shows nothing
    auto* browser = new QTextBrowser;
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setWindowTitle(
        QCoreApplication::translate("clipvane::RealDesktopServices", "Clipvane Help"));
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    browser->resize(760, 640);
    browser->show();
}

namespace {
// A message box that shows its text as it is: a file name holding "<b>" is not markup.
void showPlain(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QLatin1String(kApplicationTitle), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

void QtMessageBoxes::information(const QString& text) {
    showPlain(m_parent, QMessageBox::Information, text);
}

void QtMessageBoxes::error(const QString& text) {
    showPlain(m_parent, QMessageBox::Critical, text);
}

void QtMessageBoxes::warning(const QString& text) {
    showPlain(m_parent, QMessageBox::Warning, text);
}

CancelChoice QtMessageBoxes::cancelChoice() {
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle),
                    QCoreApplication::translate("clipvane::QtMessageBoxes", "Stop converting?"),
                    QMessageBox::NoButton, m_parent);
    box.setObjectName(QStringLiteral("cancelChoiceBox"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* stopNow =
        box.addButton(QCoreApplication::translate("clipvane::QtMessageBoxes", "Stop now"),
                      QMessageBox::DestructiveRole);
    QPushButton* skip =
        box.addButton(QCoreApplication::translate("clipvane::QtMessageBoxes", "Skip this file"),
                      QMessageBox::ActionRole);
    QPushButton* finish = box.addButton(
        QCoreApplication::translate("clipvane::QtMessageBoxes", "Finish this file, then stop"),
        QMessageBox::ActionRole);
    QPushButton* keep =
        box.addButton(QCoreApplication::translate("clipvane::QtMessageBoxes", "Keep converting"),
                      QMessageBox::RejectRole);
    stopNow->setObjectName(QStringLiteral("stopNowButton"));
    skip->setObjectName(QStringLiteral("skipFileButton"));
    finish->setObjectName(QStringLiteral("finishFileButton"));
    keep->setObjectName(QStringLiteral("keepConvertingButton"));
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == stopNow)
        return CancelChoice::StopNow;
    if (box.clickedButton() == skip)
        return CancelChoice::SkipThisFile;
    if (box.clickedButton() == finish)
        return CancelChoice::FinishThisFile;
    return CancelChoice::KeepConverting;
}

QuitChoice QtMessageBoxes::quitChoice(int underWay, int waiting) {
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle),
                    underWay == 1
                        ? QCoreApplication::translate("clipvane::QtMessageBoxes",
                                                      "A file is still being converted.")
                        : QCoreApplication::translate("clipvane::QtMessageBoxes",
                                                      "%1 files are still being converted.")
                              .arg(underWay),
                    QMessageBox::NoButton, m_parent);
    box.setObjectName(QStringLiteral("quitChoiceBox"));
    box.setTextFormat(Qt::PlainText);
    QString more = QCoreApplication::translate(
        "clipvane::QtMessageBoxes",
        "Finish in the background: Clipvane closes, and the files under way are finished and "
        "named without it.\nStop now: they are stopped and their unfinished files removed.");
    if (waiting > 0)
        more += QLatin1String("\n\n") +
                QCoreApplication::translate("clipvane::QtMessageBoxes",
                                            "%1 more waiting in the list stay there for the "
                                            "next start.")
                    .arg(waiting);
    box.setInformativeText(more);
    QPushButton* finish = box.addButton(
        QCoreApplication::translate("clipvane::QtMessageBoxes", "Finish in the background"),
        QMessageBox::AcceptRole);
    QPushButton* stopNow =
        box.addButton(QCoreApplication::translate("clipvane::QtMessageBoxes", "Stop now"),
                      QMessageBox::DestructiveRole);
    QPushButton* keep =
        box.addButton(QCoreApplication::translate("clipvane::QtMessageBoxes", "Keep converting"),
                      QMessageBox::RejectRole);
    finish->setObjectName(QStringLiteral("finishInBackgroundButton"));
    stopNow->setObjectName(QStringLiteral("stopNowButton"));
    keep->setObjectName(QStringLiteral("keepConvertingButton"));
    box.setDefaultButton(finish);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == finish)
        return QuitChoice::FinishInBackground;
    if (box.clickedButton() == stopNow)
        return QuitChoice::StopNow;
    return QuitChoice::KeepConverting;
}

bool QtMessageBoxes::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxes::shutdownCountdown(int seconds) {
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle), QString(),
                    QMessageBox::Cancel, m_parent);
    box.setTextFormat(Qt::PlainText);
    int left = seconds;
    const auto show = [&] {
        box.setText(QCoreApplication::translate("clipvane::QtMessageBoxes",
                                                "The computer will shut down in %1 s.")
                        .arg(left));
    };
    show();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &box, [&] {
        if (--left <= 0) {
            box.done(QMessageBox::Ok);
            return;
        }
        show();
    });
    tick.start(1000);
    return box.exec() == QMessageBox::Ok;
}

} // namespace clipvane
