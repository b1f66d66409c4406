#include "app/desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace clipvane {

void RealDesktopServices::openFolder(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void RealDesktopServices::shutdown() {
    const QString replacement = qEnvironmentVariable("CLIPVANE_SHUTDOWN_COMMAND");
    QStringList args;
    if (!replacement.isEmpty()) {
        args = QProcess::splitCommand(replacement);
    } else {
        args = {QStringLiteral("systemctl"), QStringLiteral("poweroff")};
    }
    if (args.isEmpty())
        return;
    const QString program = args.takeFirst();
    QProcess::startDetached(program, args);
}

void RealDesktopServices::showHelp(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        return; // a missing help file shows nothing
    auto* browser = new QTextBrowser;
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setWindowTitle(QStringLiteral("Clipvane Help"));
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

bool QtMessageBoxes::shutdownCountdown(int seconds) {
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle), QString(),
                    QMessageBox::Cancel, m_parent);
    box.setTextFormat(Qt::PlainText);
    int left = seconds;
    const auto show = [&] {
        box.setText(QStringLiteral("The computer will shut down in %1 s.").arg(left));
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
