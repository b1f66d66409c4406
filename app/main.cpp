#include "app/desktop.h"
#include "app/form1.h"
#include "app/form6.h"
#include "app/openvideodialog.h"
#include "process/childtools.h"
#include "process/process.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    // The player draws into a native X11 window; under Wayland ask for XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("clipvane"));
    clipvane::installProgramIcon();

    clipvane::RealDesktopServices desktop;
    clipvane::QtMessageBoxes messages;
    clipvane::Form1Services services;
    services.desktop = &desktop;
    services.messages = &messages;
    services.keys = &clipvane::ChildTools::instance();
    services.openFiles = [](QWidget* parent, const QString& startFolder) {
        return clipvane::showOpenVideoDialog(parent, startFolder);
    };
    // Closing the window ends the program at once, whatever wait is under way; a running
    // encoder is left to finish its file.
    services.endProcess = [] {
        // A probe under way and an encoder being cancelled end with us; a converting encoder
        // is left to finish its file.
        clipvane::Process::endAllRunning();
        clipvane::ChildTools::instance().endStopping();
        std::fflush(nullptr);
        _exit(0);
    };

    clipvane::Form1 form(services);
    messages.setParent(&form);
    form.Form_Load();
    form.show();
    return app.exec();
}
