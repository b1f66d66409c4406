// The preview under a real X server: MPlayer draws into the window's own video surface.
#include "app/clipdialog.h"
#include "app/mainwindow.h"
#include "app/playerwidget.h"
#include "process/childtools.h"
#include "tests/support/testsupport.h"
#include "ui_clipdialog.h"
#include "ui_mainwindow.h"
#include "ui_playerwidget.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTimer>
#include <QtTest>

using namespace clipvane;

class TestPreviewX11 : public QObject {
    Q_OBJECT

    // The share of the surface's pixels that are not black.
    static double litShare(QWidget* surface) {
        const QImage shot = surface->screen()
                                ->grabWindow(surface->winId())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        if (shot.isNull())
            return 0;
        qint64 lit = 0;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                lit += qGray(shot.pixel(x, y)) > 40;
        return double(lit) / double((shot.width() / 4 + 1) * (shot.height() / 4 + 1));
    }

    QTemporaryDir clips;
    QString clip; // 30 s of colour bars

private slots:
    void initTestCase() {
        clip = clips.filePath("colour.avi");
        QVERIFY(test::makeClip(clip, {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25"},
                               {"-t", "30", "-c:v", "mpeg4"}));
    }

    void playsInsideTheWindow() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        test::RecordingDesktop desktop;
        test::RecordingMessages messages;
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &ChildTools::instance();
        s.endProcess = [] {};
        MainWindow form(s);
        form.loadSettings();
        form.resize(1280, 800);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.addFile(clip);
        form.ui()->sourceListView->setCurrentIndex(form.sources().index(0, 0));
        QWidget* surface = form.ui()->previewPlayer->videoSurface();
        QTRY_VERIFY_WITH_TIMEOUT(litShare(surface) < 0.05, 5000); // black before anything plays

        form.playSelected();
        const qint64 player = form.playerState().playerProcessId;
        QVERIFY(player > 0);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(surface) > 0.5, 15000);

        // Pause stops the clock; Stop ends the player.
        QTRY_VERIFY_WITH_TIMEOUT(form.playerState().position >= 1, 5000);
        form.ui()->previewPlayer->pause();
        const qint64 paused = form.playerState().position;
        QTest::qWait(1500);
        QCOMPARE(form.playerState().position, paused);
        form.ui()->previewPlayer->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(player), 4000);
        // No stale picture of the stopped player stays behind.
        QTRY_VERIFY_WITH_TIMEOUT(litShare(surface) < 0.05, 4000);
    }

    void clipDialogPlaysInItsOwnSurface_data() {
        QTest::addColumn<QString>("leaveBy");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("close box") << "close";
    }
    void clipDialogPlaysInItsOwnSurface() {
        QFETCH(QString, leaveBy);
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        test::RecordingMessages messages;
        MainWindowServices s;
        s.messages = &messages;
        s.keys = &ChildTools::instance();
        s.endProcess = [] {};
        MainWindow form(s);
        form.loadSettings();
        form.show();
        form.addFile(clip);
        form.ui()->sourceListView->setCurrentIndex(form.sources().index(0, 0));
        qint64 player = 0;
        double lit = 0;
        QTimer::singleShot(0, &form, [&] {
            auto* dialog = qobject_cast<ClipDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            dialog->ui()->clipPlayer->ui()->playButton->click();
            player = form.playerState().playerProcessId;
            QTRY_VERIFY_WITH_TIMEOUT(
                (lit = litShare(dialog->ui()->clipPlayer->videoSurface())) > 0.5, 15000);
            if (leaveBy == "ok")
                dialog->ui()->okButton->click();
            else if (leaveBy == "cancel")
                dialog->ui()->cancelButton->click();
            else
                dialog->close();
        });
        form.editClip();
        QVERIFY2(lit > 0.5, qPrintable(QString::number(lit)));
        QVERIFY(player > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(player), 4000);
    }
};

QTEST_MAIN(TestPreviewX11)
#include "tst_previewx11.moc"
