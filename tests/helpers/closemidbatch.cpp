// Test helper: opens the main window with the program's real exit, starts converting the
// file given as argument 1 into folder argument 2 (program folder argument 3), prints the
// encoder's process id as soon as it runs, and closes the window mid-batch. Argument 4, when
// given, is how many ms an encoder may get nowhere. Like the program, it is also the
// finisher of the conversions it leaves.
#include "app/mainwindow.h"
#include "base/apppaths.h"
#include "convert/itemfinisher.h"
#include "process/childtools.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (const std::optional<int> finished = clipvane::runAsFinisher(argc, argv))
        return *finished;
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    clipvane::setProgramFolder(QString::fromLocal8Bit(argv[3]));
    clipvane::writeSetting(clipvane::settingsFilePath(), "set", "outputfolder",
                           QString::fromLocal8Bit(argv[2]));
    clipvane::test::RecordingDesktop desktop;
    clipvane::test::RecordingMessages messages;
    clipvane::MainWindowServices services;
    services.desktop = &desktop;
    services.messages = &messages;
    services.keys = &clipvane::ChildTools::instance();
    services.endProcess = [] {
        clipvane::ChildTools::instance().endAtQuickExit();
        std::fflush(nullptr);
        _exit(0);
    };
    clipvane::MainWindow form(services);
    form.loadSettings();
    if (argc > 4)
        form.batch().setLimits({std::atoi(argv[4]), clipvane::OutputCheck::kTimeoutMs});
    form.ui()->profileCombo->setCurrentIndex(1);
    form.applySelectedProfile();
    form.show();
    form.addFile(QString::fromLocal8Bit(argv[1]));
    QObject::connect(&form.batch(), &clipvane::BatchRun::encoderStarted, [&](qint64 pid) {
        std::printf("%lld\n", static_cast<long long>(pid));
        std::fflush(stdout);
        QTimer::singleShot(0, &form, [&] { form.close(); });
    });
    form.convertAll();
    app.exec();
    return 3; // the run must not get here: closing ends the program at once
}
