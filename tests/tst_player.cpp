#include "base/apppaths.h"
#include "base/textvalues.h"
#include "player/previewplayer.h"
#include "process/commandline.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QtTest>

using namespace clipvane;

class TestPlayer : public QObject {
    Q_OBJECT

    PlayerState state;
    test::KeyLog keys;
    QStringList started;
    std::unique_ptr<PreviewPlayer> player;
    QString clock, total;
    QList<int> slider;

private slots:
    void init() {
        setProgramFolder("/opt/clipvane");
        state = PlayerState();
        keys.sent.clear();
        started.clear();
        slider.clear();
        clock = total = "<none>";
        player = std::make_unique<PreviewPlayer>(&state, &keys, PlayerOptionTexts::preview());
        player->setSurface(77);
        player->setStarter([this](const QString& cmd) {
            started << cmd;
            return qint64(1000 + started.size());
        });
        connect(player.get(), &PreviewPlayer::clockTextChanged, [this](auto t) { clock = t; });
        connect(player.get(), &PreviewPlayer::totalTextChanged, [this](auto t) { total = t; });
        connect(player.get(), &PreviewPlayer::sliderValueChanged, [this](int v) { slider << v; });
    }

    void commandLines_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("expected");
        const QString head = "\"/opt/clipvane/mp.dll\"";
        const QString tail = " -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect"
                             "   -framedrop   -autosync   100";
        const QString file = "\"/v/a b.avi\"";
        QTest::newRow("play") << "play"
                              << head + " -wid  77" + tail + "   -vo gl2  -vf   screenshot " + file;
        QTest::newRow("first frame")
            << "first" << head + " -wid  77" + tail + "    -vo gl2 -vf   screenshot " + file;
        // Last Frames starts 3 s before the end of the 65 s file.
        QTest::newRow("last frames")
            << "last" << head + " -ss 62 -wid  77" + tail + "   -vo gl2  -vf   screenshot " + file;
        QTest::newRow("seek") << "seek"
                              << head + " -ss 32 -wid  77" + tail +
                                     "    -vo gl2  -vf   screenshot " + file;
    }
    void commandLines() {
        QFETCH(QString, operation);
        QFETCH(QString, expected);
        player->play("/v/a b.avi", parseClipTime("0:01:05"));
        if (operation == "first")
            player->firstFrame();
        else if (operation == "last")
            player->lastFrames();
        else if (operation == "seek")
            player->seek(50);
        QCOMPARE(started.last(), expected);
        // Whatever the blanks, the player gets the same options.
        QStringList args = splitCommandLine(expected);
        QCOMPARE(args.mid(args.indexOf("-priority")),
                 QStringList({"-priority", "abovenormal", "-framedrop", "-colorkey", "0",
                              "-nokeepaspect", "-framedrop", "-autosync", "100", "-vo", "gl2",
                              "-vf", "screenshot", "/v/a b.avi"}));
    }

    void playRunsTheClock() {
        player->play("/v/a.avi", parseClipTime("0:01:05"));
        QCOMPARE(total, QString("Total time:0:01:05"));
        QCOMPARE(state.length, 65);
        QCOMPARE(state.playerProcessId, 1001);
        QVERIFY(player->clockRunning());
        player->tick();
        QCOMPARE(clock, QString("0:00:01"));
        QCOMPARE(slider, QList<int>{2}); // 1.54 rounded
        // A second Play quits the first player before it starts another.
        player->play("/v/b.avi", parseClipTime("0:00:10"));
        QCOMPARE(keys.sent, QStringList{"mp.dll:1001:quit"});
        QCOMPARE(state.playerProcessId, 1002);
    }

    void operations_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("keysSent");
        QTest::addColumn<bool>("clockRunning");
        QTest::addColumn<QString>("clockText");
        QTest::addColumn<int>("startedCount");
        QTest::newRow("pause") << "pause" << QStringList{"mp.dll:1001:pause"} << false << "<none>"
                               << 1;
        QTest::newRow("pause twice resumes")
            << "pause pause" << QStringList{"mp.dll:1001:pause", "mp.dll:1001:pause"} << true
            << "<none>" << 1;
        QTest::newRow("stop") << "stop" << QStringList{"mp.dll:1001:quit"} << false << "" << 1;
        QTest::newRow("back and forward")
            << "back forward" << QStringList{"mp.dll:1001:back", "mp.dll:1001:forward"} << true
            << "<none>" << 1;
        QTest::newRow("seek at 50: 32.5 halves to even")
            << "seek50" << QStringList{"mp.dll:1001:quit"} << true << "0:00:32" << 2;
        QTest::newRow("seek at 100 stops the clock, starts nothing")
            << "seek100" << QStringList{} << false << "0:01:05" << 1;
    }
    void operations() {
        QFETCH(QString, operation);
        QFETCH(QStringList, keysSent);
        QFETCH(bool, clockRunning);
        QFETCH(QString, clockText);
        QFETCH(int, startedCount);
        player->play("/v/a.avi", parseClipTime("0:01:05"));
        for (const QString& op : operation.split(' ')) {
            if (op == "pause")
                player->pause();
            else if (op == "stop")
                player->stop();
            else if (op == "back")
                player->back();
            else if (op == "forward")
                player->forward();
            else if (op.startsWith("seek"))
                player->seek(op.mid(4).toInt());
        }
        QCOMPARE(keys.sent, keysSent);
        QCOMPARE(player->clockRunning(), clockRunning);
        QCOMPARE(clock, clockText);
        QCOMPARE(started.size(), startedCount);
    }

    void clockEdges_data() {
        QTest::addColumn<QString>("videoTime");
        QTest::addColumn<qint64>("position");
        QTest::addColumn<QString>("clockText");
        QTest::addColumn<int>("sliderValue"); // -1: the slider is not touched
        QTest::addColumn<bool>("running");
        QTest::newRow("no length: the clock stops at once")
            << "" << qint64(0) << "0:00:01" << -1 << false;
        QTest::newRow("past 9:06:07") << "12:00:00" << qint64(36000) << "10:00:01" << 83 << true;
        QTest::newRow("past the end: slider at most 100")
            << "0:00:10" << qint64(20) << "0:00:21" << 100 << false;
    }
    void clockEdges() {
        QFETCH(QString, videoTime);
        QFETCH(qint64, position);
        QFETCH(QString, clockText);
        QFETCH(int, sliderValue);
        QFETCH(bool, running);
        player->play("/v/a.avi", parseClipTime(videoTime));
        state.position = position;
        player->tick();
        QCOMPARE(clock, clockText);
        QCOMPARE(slider, sliderValue < 0 ? QList<int>{} : QList<int>{sliderValue});
        QCOMPARE(player->clockRunning(), running);
    }

    // Once the player reports where it is, the clock shows that: a seek shows where the player
    // landed at once, a pause stops the clock there, and what an earlier player says counts
    // for nothing. Frame steps go one key at a time, each when the player has paused.
    void theClockFollowsThePlayer() {
        player->play("/v/a.avi", parseClipTime("0:01:05"));
        const qint64 pid = state.playerProcessId;
        player->takeOutput(pid, "MPlayer 1.5\nPlaying /v/a.avi.\nA:   0.0 V:   0.0 A-V:  0.0\r");
        QCOMPARE(clock, QString("0:00:00")); // where it landed
        player->takeOutput(pid, "A:   4.9 V:   5.0 A-V: -0.1 ct:  0.0   0/  0 \x1b[J\r");
        player->tick();
        QCOMPARE(clock, QString("0:00:05")); // the tick shows the player's time, not a count
        player->forward();
        player->takeOutput(pid, "A:  15.9 V:  16.0 A-V: -0.1\r");
        QCOMPARE(clock, QString("0:00:16")); // at once, not at the next tick
        player->takeOutput(pid, "A:  16.2 V:  16.3\r");
        player->pause();
        player->takeOutput(pid, "\n  =====  PAUSE  =====\r");
        QVERIFY(player->playerPaused() && !player->clockRunning());
        QCOMPARE(clock, QString("0:00:16"));
        player->takeOutput(pid + 1, "V:  40.0\r"); // someone else's
        QCOMPARE(player->reportedPosition(), std::optional<double>(16.3));

        // Steps need the frame rate; the first starts again at a keyframe.
        keys.sent.clear();
        player->stepFrame(1);
        QVERIFY(keys.sent.isEmpty());
        player->seekTo(250); // a typed time, to the hundredth
        QCOMPARE(started.last().section(" -wid", 0, 0), "\"/opt/clipvane/mp.dll\" -ss 2.5");
        QCOMPARE(clock, QString("0:00:02.50"));
        player->quit();
        QVERIFY(!player->clockRunning());
    }

    // Every start of a player shows the total time of its file, and the clock follows the
    // player: it stops where the player pauses and runs again when the player plays.
    void totalAndClockFollowEveryStart() {
        player->setKeepsOwnPath(true);
        player->setSourcePath("/v/a.avi");
        player->setSourceLength(parseClipTime("0:01:05.50"));
        player->setClock(0, 65); // as a window that opens on the file sets it
        QCOMPARE(total, QString("Total time:0:01:05.50"));
        for (const QString operation : {"first", "last", "seek", "typed"}) {
            total.clear();
            if (operation == "first")
                player->firstFrame();
            else if (operation == "last")
                player->lastFrames();
            else if (operation == "seek")
                player->seek(50);
            else
                player->seekTo(1000);
            QCOMPARE(total, QString("Total time:0:01:05.50"));
            player->takeOutput(state.playerProcessId, "\n  =====  PAUSE  =====\r");
            QVERIFY(!player->clockRunning());
            player->takeOutput(state.playerProcessId, "A:  12.0 V:  12.0\r");
            QVERIFY2(player->clockRunning(), qPrintable(operation));
        }
    }

    // A player that ends by itself stops the clock and says so; one told to quit does not, nor
    // the end of another.
    void theEndOfAPlayer() {
        QSignalSpy ended(player.get(), &PreviewPlayer::playerEnded);
        player->play("/v/a.avi", parseClipTime("0:00:05"));
        const qint64 first = state.playerProcessId;
        player->takeEnd(first + 7);
        player->play("/v/a.avi", parseClipTime("0:00:05")); // the first is told to quit
        player->takeEnd(first);
        QVERIFY(ended.isEmpty() && player->clockRunning());
        player->takeEnd(state.playerProcessId);
        QCOMPARE(ended.size(), 1);
        QVERIFY(!player->clockRunning() && !player->playerRunning());
    }

    void aPlayerThatCannotStartLeavesTheClockRunning() {
        player->setStarter([](const QString&) { return qint64(0); });
        player->play("/v/a.avi", parseClipTime("0:00:05"));
        QCOMPARE(state.playerProcessId, 0);
        QVERIFY(player->clockRunning());
        player->pause(); // no player: no key, but the clock still pauses
        QVERIFY(keys.sent.isEmpty());
        QVERIFY(!player->clockRunning());
    }
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
