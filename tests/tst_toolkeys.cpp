#include "process/childtools.h"
#include "process/commandline.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

using namespace clipvane;

class TestToolKeys : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString clip;

    ToolProcess* startPlayer(const test::ProgramFolder& folder, bool watchOutput = false) {
        ToolProcess::Options o;
        o.workingDirectory = folder.path();
        o.keysOnStdin = true;
        if (watchOutput)
            o.standardOutput = ToolProcess::Channel::Keep;
        // Unless really quiet, MPlayer reports pauses and its position ("A:  1.2 V:  1.2 ...").
        return ChildTools::instance().start(quoteArgument(folder.path() + "/mp.dll") +
                                                (watchOutput ? " " : " -really-quiet ") +
                                                "-vo null -ao null -loop 0 " + quoteArgument(clip),
                                            o);
    }

    // Whether two successive status lines in the output show the position moving by at least
    // `by` seconds (backwards for a negative `by`): a seek, not playback.
    static bool positionJumps(const QByteArray& output, double by) {
        static const QRegularExpression status(QStringLiteral("A:\\s*(-?[0-9]+\\.[0-9])"));
        std::optional<double> last;
        for (auto it = status.globalMatch(QString::fromLatin1(output)); it.hasNext();) {
            const double position = it.next().captured(1).toDouble();
            if (last && (by > 0 ? position - *last >= by : position - *last <= by))
                return true;
            last = position;
        }
        return false;
    }

private slots:
    void initTestCase() {
        clip = dir.filePath("k.avi");
        // Long enough that seeking 10 seconds on and back never meets an end.
        QVERIFY(test::makeStandardClip(clip, 30.0, "160x120"));
    }

    void keyBytes() {
        QCOMPARE(terminalBytes(ToolKey::Pause), QByteArray(" "));
        QCOMPARE(terminalBytes(ToolKey::Back), QByteArray("\x1b[D"));
        QCOMPARE(terminalBytes(ToolKey::Forward), QByteArray("\x1b[C"));
        QCOMPARE(terminalBytes(ToolKey::Quit), QByteArray("q"));
    }

    void playerQuitsOnQ() {
        test::ProgramFolder folder;
        QPointer<ToolProcess> player = startPlayer(folder, true);
        QVERIFY(player);
        const qint64 pid = player->processId();
        QByteArray out;
        const auto reading = connect(player, &ToolProcess::outputRead, this,
                                     [&](const QByteArray& piece) { out += piece; });
        const auto cleanup = qScopeGuard([&] {
            disconnect(reading);
            if (player)
                player->kill();
        });
        QSignalSpy finished(player, &ToolProcess::finished);
        auto send = [&](ToolKey key) {
            const qsizetype mark = out.lastIndexOf("A:"); // the position before the key
            ChildTools::instance().sendKey(pid, kPlayerTool, key);
            return std::max<qsizetype>(mark, 0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(out.contains("A:"), 10000); // playing

        qsizetype mark = send(ToolKey::Pause);
        QVERIFY(!out.contains("PAUSE"));
        QTRY_VERIFY_WITH_TIMEOUT(out.indexOf("=====  PAUSE  =====", mark) >= 0, 5000);
        mark = out.size();
        send(ToolKey::Pause);
        QTRY_VERIFY_WITH_TIMEOUT(out.indexOf("A:", mark) >= 0, 5000); // playing again
        // An arrow seeks 10 seconds; playback alone cannot jump 5 seconds between lines.
        mark = send(ToolKey::Forward);
        QTRY_VERIFY_WITH_TIMEOUT(positionJumps(out.mid(mark), 5.0), 5000);
        mark = send(ToolKey::Back);
        QTRY_VERIFY_WITH_TIMEOUT(positionJumps(out.mid(mark), -5.0), 5000);

        QVERIFY(test::processAlive(pid));
        ChildTools::instance().sendKey(pid, kPlayerTool, ToolKey::Quit);
        QVERIFY(finished.wait(10000));
        QVERIFY(!ChildTools::instance().find(pid, kPlayerTool));
    }

    void encoderStopsOnQ() {
        test::ProgramFolder folder;
        ToolProcess::Options o;
        o.keysOnStdin = true;
        ToolProcess* encoder =
            ChildTools::instance().start(quoteArgument(folder.path() + "/fp.dll") +
                                             " -re -f lavfi -i testsrc=rate=25 -t 60 -f null -",
                                         o);
        QVERIFY(encoder);
        const qint64 pid = encoder->processId();
        QSignalSpy finished(encoder, &ToolProcess::finished);
        QTest::qWait(500);
        QElapsedTimer clock;
        clock.start();
        ChildTools::instance().sendKey(pid, kEncoderTool, ToolKey::Quit);
        QVERIFY(finished.wait(10000));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(finished.at(0).at(0).value<ToolExit>().succeeded());
    }

    void wrongTargetsGetNothing() {
        test::ProgramFolder folder;
        ToolProcess* player = startPlayer(folder);
        QVERIFY(player);
        const qint64 pid = player->processId();
        QTest::qWait(300);
        // The player is not the encoder, and nobody has id 0.
        ChildTools::instance().sendKey(pid, kEncoderTool, ToolKey::Quit);
        ChildTools::instance().sendKey(0, kPlayerTool, ToolKey::Quit);
        QVERIFY(!ChildTools::instance().find(pid, kEncoderTool));
        QVERIFY(!ChildTools::instance().find(0, kPlayerTool));
        QTest::qWait(500);
        QVERIFY(test::processAlive(pid));

        // Another program the app started never receives keys meant for a tool.
        ToolProcess* other = ChildTools::instance().start("/bin/sleep 30", {});
        QVERIFY(other);
        QVERIFY(!ChildTools::instance().find(other->processId(), kPlayerTool));
        other->kill();

        QSignalSpy finished(player, &ToolProcess::finished);
        ChildTools::instance().sendKey(pid, kPlayerTool, ToolKey::Quit);
        QVERIFY(finished.wait(10000));
        // Once ended, the id reaches nothing, and sending is harmless.
        QTRY_VERIFY(!ChildTools::instance().find(pid, kPlayerTool));
        ChildTools::instance().sendKey(pid, kPlayerTool, ToolKey::Quit);
    }

    // A tool its owner lets go ends, with whatever it started: destroyed, its group is
    // killed at once; adopted while being stopped, ChildTools sees the stop through and
    // deletes it.
    void toolsLetGoEnd_data() {
        QTest::addColumn<bool>("adopted");
        QTest::newRow("destroyed") << false;
        QTest::newRow("adopted while being stopped") << true;
    }
    void toolsLetGoEnd() {
        QFETCH(bool, adopted);
        QPointer<ToolProcess> tool = new ToolProcess;
        ToolProcess::Options o;
        o.keysOnStdin = true;
        o.standardOutput = ToolProcess::Channel::Keep;
        o.quitGraceMs = 100;
        o.termGraceMs = 100;
        // It ignores the key and the terminate, and so does its child.
        QVERIFY(tool->start(
            QStringList{"/bin/sh", "-c", "trap '' TERM; sleep 60 & echo $!; wait; wait"}, o));
        const qint64 pid = tool->processId();
        QTRY_VERIFY(!tool->output().trimmed().isEmpty());
        const qint64 child = tool->output().trimmed().toLongLong();
        QVERIFY(test::processAlive(child));
        if (adopted) {
            tool->stop();
            ChildTools::instance().adopt(tool);
            QVERIFY(tool);
            QTRY_VERIFY_WITH_TIMEOUT(tool.isNull(), 30000);
        } else {
            delete tool;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(pid) && !test::processAlive(child), 30000);
    }

    void unstartableToolGivesNothing() {
        QVERIFY(!ChildTools::instance().start("/nonexistent/fp.dll -i x", {}));
        QVERIFY(!ChildTools::instance().start("", {}));
    }
};

QTEST_GUILESS_MAIN(TestToolKeys)
#include "tst_toolkeys.moc"
