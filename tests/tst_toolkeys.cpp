#include "process/childtools.h"
#include "process/commandline.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

class TestToolKeys : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString clip;

    QProcess* startPlayer(const test::ProgramFolder& folder) {
        ChildTools::StartOptions o;
        o.workingDirectory = folder.path();
        return ChildTools::instance().start(quoteArgument(folder.path() + "/mp.dll") +
                                                " -really-quiet -vo null -ao null -loop 0 " +
                                                quoteArgument(clip),
                                            o);
    }

private slots:
    void initTestCase() {
        clip = dir.filePath("k.avi");
        QVERIFY(test::makeStandardClip(clip, 2.0, "160x120"));
    }

    void keyBytes() {
        QCOMPARE(terminalBytesForKey(VK_SPACE), QByteArray(" "));
        QCOMPARE(terminalBytesForKey(VK_LEFT), QByteArray("\x1b[D"));
        QCOMPARE(terminalBytesForKey(VK_RIGHT), QByteArray("\x1b[C"));
        QCOMPARE(terminalBytesForKey(VK_Q), QByteArray("q"));
        QCOMPARE(terminalBytesForKey(13), QByteArray());
    }

    void playerQuitsOnQ() {
        test::ProgramFolder folder;
        QProcess* player = startPlayer(folder);
        QVERIFY(player);
        const qint64 pid = player->processId();
        QSignalSpy finished(player, &QProcess::finished);
        QTest::qWait(500);
        for (int key : {VK_SPACE, VK_SPACE, VK_RIGHT, VK_LEFT})
            ChildTools::instance().sendKey(pid, kPlayerTool, key);
        QTest::qWait(300);
        QVERIFY(test::processAlive(pid)); // pause, resume and seeks do not end it
        ChildTools::instance().sendKey(pid, kPlayerTool, VK_Q);
        QVERIFY(finished.wait(10000));
        QVERIFY(!ChildTools::instance().find(pid, kPlayerTool));
    }

    void encoderStopsOnQ() {
        test::ProgramFolder folder;
        ChildTools::StartOptions o;
        QProcess* encoder =
            ChildTools::instance().start(quoteArgument(folder.path() + "/fp.dll") +
                                             " -re -f lavfi -i testsrc=rate=25 -t 60 -f null -",
                                         o);
        QVERIFY(encoder);
        const qint64 pid = encoder->processId();
        QSignalSpy finished(encoder, &QProcess::finished);
        QTest::qWait(500);
        QElapsedTimer clock;
        clock.start();
        ChildTools::instance().sendKey(pid, kEncoderTool, VK_Q);
        QVERIFY(finished.wait(10000));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(finished.at(0).at(0).toInt(), 0);
    }

    void wrongTargetsGetNothing() {
        test::ProgramFolder folder;
        QProcess* player = startPlayer(folder);
        QVERIFY(player);
        const qint64 pid = player->processId();
        QTest::qWait(300);
        // The player is not the encoder, and nobody has id 0.
        ChildTools::instance().sendKey(pid, kEncoderTool, VK_Q);
        ChildTools::instance().sendKey(0, kPlayerTool, VK_Q);
        QVERIFY(!ChildTools::instance().find(pid, kEncoderTool));
        QVERIFY(!ChildTools::instance().find(0, kPlayerTool));
        QTest::qWait(500);
        QVERIFY(test::processAlive(pid));

        // Another program the app started never receives keys meant for a tool.
        ChildTools::StartOptions o;
        QProcess* other = ChildTools::instance().start("/bin/sleep 30", o);
        QVERIFY(other);
        QVERIFY(!ChildTools::instance().find(other->processId(), kPlayerTool));
        other->kill();

        QSignalSpy finished(player, &QProcess::finished);
        ChildTools::instance().sendKey(pid, kPlayerTool, VK_Q);
        QVERIFY(finished.wait(10000));
        // Once ended, the id reaches nothing, and sending is harmless.
        QTRY_VERIFY(!ChildTools::instance().find(pid, kPlayerTool));
        ChildTools::instance().sendKey(pid, kPlayerTool, VK_Q);
    }

    void unstartableToolGivesNothing() {
        ChildTools::StartOptions o;
        QVERIFY(!ChildTools::instance().start("/nonexistent/fp.dll -i x", o));
        QVERIFY(!ChildTools::instance().start("", o));
    }
};

QTEST_GUILESS_MAIN(TestToolKeys)
#include "tst_toolkeys.moc"
