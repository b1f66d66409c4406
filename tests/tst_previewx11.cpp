// The preview under a real X server: MPlayer draws into the window's own video surface.
#include "app/clipdialog.h"
#include "app/mainwindow.h"
#include "app/playerwidget.h"
#include "base/textvalues.h"
#include "process/childtools.h"
#include "sources/mediaprobe.h"
#include "tests/support/testsupport.h"
#include "ui_clipdialog.h"
#include "ui_mainwindow.h"
#include "ui_playerwidget.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
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

    // The number of the frame a surface shows, read from the code along the top of the coded
    // clip: bit i is box i of 16 (white for 1), the least significant on the left.
    static int shownFrame(QWidget* surface) {
        const QImage shot = surface->screen()
                                ->grabWindow(surface->winId())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        int frame = 0;
        for (int bit = 0; bit < 16; ++bit) {
            const int x = (bit * 20 + 10) * shot.width() / 320;
            if (qGray(shot.pixel(x, 8 * shot.height() / 240)) > 128)
                frame |= 1 << bit;
        }
        return frame;
    }

    QTemporaryDir clips;
    QString clip;   // 30 s of colour bars
    QString coded;  // 20 s at 25 frames a second, each frame showing its number
    QString bright; // 2 s of light grey, nothing black in it

    // A window with the services a test needs; ended counts the program's ends, which kill
    // the players as the real end does.
    std::unique_ptr<MainWindow> openWindow(int* ended = nullptr) {
        MainWindowServices s;
        s.keys = &ChildTools::instance();
        s.endProcess = [ended] {
            ChildTools::instance().endAtQuickExit();
            if (ended)
                ++*ended;
        };
        auto form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        form->resize(1280, 800);
        form->show();
        return form;
    }

private slots:
    void initTestCase() {
        clip = clips.filePath("colour.avi");
        QVERIFY(test::makeClip(clip, {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25"},
                               {"-t", "30", "-c:v", "mpeg4"}));
        QString code = "drawbox=x=0:y=0:w=320:h=16:color=black:t=fill";
        for (int bit = 0; bit < 16; ++bit)
            code += QString(",drawbox=x=%1:y=0:w=20:h=16:color=white:t=fill:enable='mod(floor(n/"
                            "%2),2)'")
                        .arg(bit * 20)
                        .arg(1 << bit);
        coded = clips.filePath("coded.avi");
        QVERIFY(
            test::makeClip(coded, {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25"},
                           {"-t", "20", "-vf", code, "-c:v", "mpeg4", "-q:v", "3", "-g", "25"}));
        bright = clips.filePath("bright.avi");
        QVERIFY(test::makeClip(bright,
                               {"-f", "lavfi", "-i", "color=c=0xc0c0c0:size=320x240:rate=25"},
                               {"-t", "2", "-c:v", "mpeg4"}));
    }

    // After the player has ended, uncovering and repainting the surface shows its last
    // picture, not black rectangles.
    void theLastPictureStaysAfterTheEnd() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        auto form = openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->addFile(bright);
        QVERIFY(test::waitForProbes(form->sources()));
        form->ui()->sourceListView->setCurrentIndex(form->sources().index(0, 0));
        QSignalSpy ended(&form->preview(), &PreviewPlayer::playerEnded);
        form->playSelected();
        QVERIFY(ended.wait(20000));
        QWidget* surface = form->ui()->previewPlayer->videoSurface();
        QWidget cover;
        cover.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        cover.setGeometry(QRect(surface->mapToGlobal(QPoint(surface->width() / 4, 0)),
                                QSize(surface->width() / 2, surface->height() / 2)));
        cover.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cover));
        cover.hide();
        surface->repaint(); // whatever the uncovering has not repainted yet
        const double lit = litShare(surface);
        QVERIFY2(lit > 0.95, qPrintable(QString::number(lit)));
    }

    // Exit sends the preview's player "q" and ends the program once the player has quit, so
    // the player ends as it should and is not killed with the program.
    void exitLetsThePlayerQuit() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        int ended = 0;
        auto form = openWindow(&ended);
        form->addFile(clip);
        QVERIFY(test::waitForProbes(form->sources()));
        form->ui()->sourceListView->setCurrentIndex(form->sources().index(0, 0));
        form->playSelected();
        QTRY_VERIFY_WITH_TIMEOUT(form->preview().reportedPosition() >= 1.0, 15000);
        ToolProcess* player =
            ChildTools::instance().find(form->playerState().playerProcessId, "mp.dll");
        QVERIFY(player);
        std::optional<ToolExit> exit;
        int endedWhenItQuit = -1;
        connect(player, &ToolProcess::finished, [&](const ToolExit& e) {
            exit = e;
            endedWhenItQuit = ended;
        });
        form->ui()->actionExit->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(ended, 1, 10000);
        QVERIFY(exit);
        QCOMPARE(endedWhenItQuit, 0);
        QVERIFY2(exit->succeeded(),
                 qPrintable(QString("crashed %1, code %2").arg(exit->crashed).arg(exit->exitCode)));
    }

    // After Forward the clock says what the picture shows (the player's own position).
    void theClockFollowsThePicture() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        MainWindowServices s;
        s.keys = &ChildTools::instance();
        s.endProcess = [] {};
        MainWindow form(s);
        form.loadSettings();
        form.resize(1280, 800);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.addFile(coded);
        QVERIFY(test::waitForProbes(form.sources()));
        form.ui()->sourceListView->setCurrentIndex(form.sources().index(0, 0));
        form.playSelected();
        PreviewPlayer& player = form.preview();
        QTRY_VERIFY_WITH_TIMEOUT(player.reportedPosition() >= 1.0, 15000);
        form.ui()->previewPlayer->forward();
        QTRY_VERIFY_WITH_TIMEOUT(player.reportedPosition() >= 7.0, 10000);
        form.ui()->previewPlayer->pause();
        QTRY_VERIFY_WITH_TIMEOUT(player.playerPaused(), 5000);
        QTest::qWait(300); // the paused picture is drawn
        const double picture = shownFrame(form.ui()->previewPlayer->videoSurface()) / 25.0;
        const double reported = *player.reportedPosition();
        QVERIFY2(qAbs(reported - picture) <= 0.5,
                 qPrintable(QString("player %1 s, picture %2 s").arg(reported).arg(picture)));
        QCOMPARE(form.ui()->previewPlayer->ui()->currentTimeLabel->text(),
                 timeText(qint64(reported)));
        form.ui()->previewPlayer->stop();
    }

    // "." and "," show the next and the previous frame of the paused picture, and the clock
    // names the frame shown.
    void frameStepsInTheClipDialog() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server (scripts/test starts one)");
        test::ProgramFolder folder;
        SourceList list;
        test::addAndProbe(list, coded);
        PlayerState state;
        ClipDialog dialog(*ClipOpening::fromSelectedRow(list, 0), &state, &ChildTools::instance(),
                          &list, nullptr);
        dialog.loadClip();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        PreviewPlayer& player = dialog.session().player();
        QSignalSpy stepped(&player, &PreviewPlayer::frameStepsDone);
        // The total time is the probe's length from the start, whatever plays the file.
        const QString total = "Total time:" + lengthText(list.mediaFacts(list.idAt(0)).seconds);
        QCOMPARE(total, QString("Total time:0:00:20"));
        QCOMPARE(dialog.ui()->clipPlayer->ui()->totalTimeLabel->text(), total);
        dialog.ui()->clipPlayer->ui()->firstFrameButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(player.reportedPosition() >= 2.0, 15000);
        QCOMPARE(dialog.ui()->clipPlayer->ui()->totalTimeLabel->text(), total);
        dialog.ui()->clipPlayer->pause();
        QTRY_VERIFY_WITH_TIMEOUT(player.playerPaused(), 5000);
        QWidget* surface = dialog.ui()->clipPlayer->videoSurface();
        int previous = -1;
        for (const int direction : {1, 1, -1, -1}) {
            QTest::keyClick(&dialog, direction > 0 ? Qt::Key_Period : Qt::Key_Comma);
            QVERIFY(stepped.wait(20000));
            QTest::qWait(300);
            const int frame = shownFrame(surface);
            if (previous >= 0)
                QCOMPARE(frame, previous + direction);
            QCOMPARE(dialog.ui()->clipPlayer->ui()->currentTimeLabel->text(),
                     clipTimeText(frame * 4)); // 25 frames a second: 4 hundredths each
            previous = frame;
        }
        dialog.reject();
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
        QVERIFY(test::waitForProbes(form.sources()));
        form.ui()->sourceListView->setCurrentIndex(form.sources().index(0, 0));
        QWidget* surface = form.ui()->previewPlayer->videoSurface();
        QTRY_VERIFY_WITH_TIMEOUT(litShare(surface) < 0.05, 5000); // black before anything plays

        form.playSelected();
        const qint64 player = form.playerState().playerProcessId;
        QVERIFY(player > 0);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(surface) > 0.5, 15000);

        // Pause stops the clock where the player stopped; Stop ends the player.
        QTRY_VERIFY_WITH_TIMEOUT(form.playerState().position >= 1, 5000);
        form.ui()->previewPlayer->pause();
        QTRY_VERIFY_WITH_TIMEOUT(form.preview().playerPaused(), 5000);
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
        QVERIFY(test::waitForProbes(form.sources()));
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
