#include "app/dbusnotices.h"
#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/openvideodialog.h"
#include "app/programicon.h"
#include "app/translations.h"
#include "base/apppaths.h"
#include "cli/commandline.h"
#include "convert/itemfinisher.h"
#include "convert/queuefile.h"
#include "process/childtools.h"
#include "sources/fileselect.h"
#include "sources/mediaprobe.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
// The install test starts the installed program with CLIPVANE_TEST_CONVERT_AND_QUIT=1: it
// converts the files named on the command line and quits. Messages then go to standard error
// instead of boxes, and no file manager opens.
class UnattendedDesktop : public clipvane::RealDesktopServices {
public:
    bool openFolder(const QString&) override { return true; }
};

class PrintedMessages : public clipvane::QtMessageBoxes {
public:
    void information(const QString& text) override { print(text); }
    void error(const QString& text) override { print(text); }
    void warning(const QString& text) override { print(text); }
    clipvane::QuitChoice quitChoice(int, int) override {
        return clipvane::QuitChoice::FinishInBackground;
    }

private:
    static void print(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};
// SIGTERM and SIGHUP (the session ending, a service manager) close the window as a logout
// does; the handler only writes a byte, which the event loop reads.
int g_signalPipe[2] = {-1, -1};

void onEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

void closeOnEndSignals(clipvane::MainWindow& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[1], &byte, 1);
        window.closeWithoutAsking();
    });
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}
} // namespace

int main(int argc, char** argv) {
    // Started again after a window closed mid-batch, to see its conversions through (its
    // notes in the user's language).
    if (const std::optional<int> finished =
            clipvane::runAsFinisher(argc, argv, [] { clipvane::installTranslations(); }))
        return *finished;
    // --convert, --watch and the rest of the command line: no window, no display.
    if (const std::optional<int> status = clipvane::runCommandLine(argc, argv))
        return *status;

    // The player draws into a native X11 window; under Wayland ask for XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    // The files named on the command line are taken before Qt sees it: Qt would take out
    // any named like its options. Qt gets only its own.
    QList<QByteArray> raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QByteArray(argv[i]));
    const clipvane::ProgramArguments arguments = clipvane::splitProgramArguments(raw);
    std::vector<char*> qtArgv;
    for (const QByteArray& arg : arguments.forQt)
        qtArgv.push_back(const_cast<char*>(arg.constData()));
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(arguments.forQt.size());

    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("clipvane"));
    // The user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), Qt's own buttons included.
    clipvane::installTranslations();
    clipvane::installProgramIcon();
    // What probes of a program that was killed left behind.
    clipvane::removeStaleProbeFolders();

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

    // The list outlives the window, beside settings.dat.
    services.queueFile = clipvane::queueFileBeside(clipvane::settingsFilePath());
    clipvane::DBusDesktopNotices notices(services.desktop);
    services.notices = &notices;
    services.hardware = &clipvane::HardwareDevices::onThisMachine;

    clipvane::MainWindow window(services);
    messages.setParent(&window);
    closeOnEndSignals(window);
    // A logout during a run asks nothing: the files under way are finished in the background.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] {
        if (window.batch().isRunning())
            window.closeWithoutAsking();
    });
    window.loadSettings();
    window.show();
    // The files named on the command line, once the window has painted.
    QTimer::singleShot(0, &window, [&window, &arguments, unattended] {
        window.addStartupFiles(arguments.files, arguments.badNames);
        if (!unattended)
            return;
        // Ends once the run has ended and its end has been said (on standard error).
        QObject::connect(&window.runCompletion(), &clipvane::RunCompletion::finished, &window,
                         &QWidget::close, Qt::QueuedConnection);
        window.convertAll();
        if (!window.batch().isRunning())
            window.close();
    });
    return app.exec();
}
