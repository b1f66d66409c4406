// Test helper: the program's window as the program runs it, with its list kept in the queue
// file of the program folder given as argument 1 (whose settings.dat the test wrote). It
// converts the list it restored, prints "encoder:<pid>" as each encoder starts, and then,
// by argument 2:
//   finish, stop  closes the window at the first encoder, answering the quit question so
//                 (it prints "quit:<under way>:<waiting>" when asked);
//   hold          waits to be killed.
// Like the program, it is also the finisher of the conversions it leaves.
#include "app/mainwindow.h"
#include "base/apppaths.h"
#include "convert/itemfinisher.h"
#include "convert/queuefile.h"
#include "process/childtools.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {
class Answers : public clipvane::test::RecordingMessages {
public:
    clipvane::QuitChoice quitChoice(int underWay, int waiting) override {
        std::printf("quit:%d:%d\n", underWay, waiting);
        std::fflush(stdout);
        return quitAnswer;
    }
};
} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> finished = clipvane::runAsFinisher(argc, argv))
        return *finished;
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[2]);
    clipvane::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    clipvane::test::RecordingDesktop desktop;
    Answers messages;
    messages.quitAnswer = mode == QLatin1String("stop") ? clipvane::QuitChoice::StopNow
                                                        : clipvane::QuitChoice::FinishInBackground;
    clipvane::MainWindowServices services;
    services.desktop = &desktop;
    services.messages = &messages;
    services.keys = &clipvane::ChildTools::instance();
    services.queueFile = clipvane::queueFileBeside(clipvane::settingsFilePath());
    services.endProcess = [] {
        clipvane::ChildTools::instance().endAtQuickExit();
        std::fflush(nullptr);
        _exit(0);
    };
    clipvane::MainWindow form(services);
    form.loadSettings();
    form.show();
    bool closing = false;
    QObject::connect(&form.batch(), &clipvane::BatchRun::encoderStarted, [&](qint64 pid) {
        std::printf("encoder:%lld\n", static_cast<long long>(pid));
        std::fflush(stdout);
        if (mode != QLatin1String("hold") && !closing) {
            closing = true;
            QTimer::singleShot(0, &form, [&] { form.close(); });
        }
    });
    QTimer::singleShot(0, &form, [&] { form.convertAll(); });
    app.exec();
    return 3; // the run must not get here: closing ends the program at once
}
