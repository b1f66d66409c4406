#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/openvideodialog.h"
#include "app/programicon.h"
#include "process/childtools.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {
// The install test starts the installed program with CLIPVANE_TEST_CONVERT_AND_QUIT=1: it
// converts the files named on the command line and quits. Messages then go to standard error
// instead of boxes, and no file manager opens.
class UnattendedDesktop : public clipvane::RealDesktopServices {
public:
    void openFolder(const QString&) override {}
};

class PrintedMessages : public clipvane::QtMessageBoxes {
public:
    void information(const QString& text) override { print(text); }
    void error(const QString& text) override { print(text); }
    void warning(const QString& text) override { print(text); }

private:
    static void print(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};
} // namespace

int main(int argc, char** argv) {
    // The player draws into a native X11 window; under Wayland ask for XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("clipvane"));
    clipvane::installProgramIcon();

    const bool unattended =
        qEnvironmentVariable("CLIPVANE_TEST_CONVERT_AND_QUIT") == QLatin1String("1");
    clipvane::RealDesktopServices desktop;
    UnattendedDesktop unattendedDesktop;
    clipvane::QtMessageBoxes messages;
    PrintedMessages printedMessages;
    clipvane::MainWindowServices services;
    services.desktop = unattended ? &unattendedDesktop : &desktop;
    services.messages = unattended ? &printedMessages : &messages;
    services.keys = &clipvane::ChildTools::instance();
    services.openFiles = [](QWidget* parent, const QString& startFolder) {
        return clipvane::showOpenVideoDialog(parent, startFolder);
    };
    // Closing the window ends the program at once, whatever wait is under way. A probe under
    // way and an encoder being cancelled end with us; a converting encoder is left to finish
    // its file.
    services.endProcess = [] {
        clipvane::ChildTools::instance().endAtQuickExit();
        std::fflush(nullptr);
        _exit(0);
    };

    clipvane::MainWindow window(services);
    messages.setParent(&window);
    window.loadSettings();
    window.show();
    // The files named on the command line (QApplication has taken out the options it reads),
    // once the window has painted.
    QTimer::singleShot(0, &window, [&window, unattended] {
        window.addStartupFiles(QCoreApplication::arguments().mid(1));
        if (!unattended)
            return;
        clipvane::BatchRun& batch = window.batch();
        QObject::connect(&batch, &clipvane::BatchRun::runFinished, &window, &QWidget::close,
                         Qt::QueuedConnection);
        window.convertAll();
        if (!batch.isRunning())
            window.close();
    });
    return app.exec();
}
