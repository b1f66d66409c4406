#include "process/commandline.h"
#include "process/process.h"
#include "process/tooljob.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>

using namespace clipvane;

namespace {
// A command line that runs a small sh script (the tests' child; the program never uses sh).
QString sh(const QString& script) {
    return "/bin/sh -c " + quoteArgument(script);
}
} // namespace

class TestProcess : public QObject {
    Q_OBJECT
private slots:
    void collectsOutput_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("rc");
        QTest::newRow("nothing") << "exit 0"
                                 << "" << 0;
        QTest::newRow("stdout") << "printf 'ID_LENGTH=5\\r\\n'"
                                << "ID_LENGTH=5\r\n"
                                << 0;
        QTest::newRow("stderr merged in order") << "echo a; echo b >&2; echo c"
                                                << "a\nb\nc\n"
                                                << 0;
        QTest::newRow("exit code") << "echo x; exit 3"
                                   << "x\n"
                                   << 3;
        QTest::newRow("written just before exit") << "sleep 0.2; printf last"
                                                  << "last" << 0;
        QTest::newRow("utf8") << "printf 'ünï 映像'"
                              << "ünï 映像" << 0;
    }
    void collectsOutput() {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        QFETCH(int, rc);
        auto p = NewProcess(sh(script));
        int finished = 0;
        connect(p.get(), &Process::Finished, [&] { ++finished; });
        p->Launch();
        QCOMPARE(p->StdOut(), expected);
        QCOMPARE(p->RC(), rc);
        QCOMPARE(finished, 1);
        QVERIFY(!p->IsActive());
    }

    void piecesAnnouncedInOrder() {
        auto p = NewProcess(sh("printf one; sleep 0.3; printf two; sleep 0.3; printf three"));
        QStringList pieces;
        bool announcedBeforeAppended = true;
        connect(p.get(), &Process::StdOutChanged, [&](const QString& s) {
            announcedBeforeAppended &= p->StdOut() == pieces.join("");
            pieces << s;
        });
        p->Launch();
        QVERIFY(pieces.size() >= 3);
        QVERIFY(announcedBeforeAppended);
        QCOMPARE(pieces.join(""), QString("onetwothree"));
        QCOMPARE(p->StdOut(), QString("onetwothree"));
    }

    void parametersFollowAfterOneBlank() {
        auto p = NewProcess("/bin/echo");
        p->setParameters("\"a  b\" c");
        p->Launch();
        QCOMPARE(p->StdOut(), QString("a  b c\n"));
    }

    void waitKeepsEventLoopRunning() {
        auto p = NewProcess(sh("sleep 1"));
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        QElapsedTimer clock;
        clock.start();
        p->Launch();
        QVERIFY(clock.elapsed() >= 900);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    }

    void abortRunningChild() {
        auto p = NewProcess(sh("sleep 30"));
        p->setAsync(true);
        p->Launch();
        QVERIFY(p->IsActive());
        const qint64 pid = p->processId();
        QVERIFY(test::processAlive(pid));
        p->Abort(5);
        QCOMPARE(p->RC(), 5);
        QVERIFY(!p->IsActive());
        QTRY_VERIFY(!test::processAlive(pid));
    }

    void abortZeroKeepsChildsExitCode() {
        auto p = NewProcess(sh("exit 3"));
        p->setAsync(true);
        p->Launch();
        QTRY_VERIFY(!p->IsActive());
        QCOMPARE(p->RC(), 3);
        p->Abort(0);
        QCOMPARE(p->RC(), 3);
    }

    void asyncReadAndPoll() {
        auto p = NewProcess(sh("echo hi; sleep 0.3"));
        p->setAsync(true);
        p->Launch();
        QVERIFY(p->IsActive());
        QTRY_VERIFY(!p->IsActive());
        QCOMPARE(p->StdOut(), QString("hi\n"));
    }

    void destroyingRunnerEndsChild() {
        qint64 pid = 0;
        {
            auto p = NewProcess(sh("sleep 30"));
            p->setAsync(true);
            p->Launch();
            pid = p->processId();
            QVERIFY(test::processAlive(pid));
        }
        QTRY_VERIFY(!test::processAlive(pid));
    }

    void missingExecutable_data() {
        QTest::addColumn<QString>("cmd");
        QTest::newRow("missing") << "/nonexistent/tool -x";
        QTest::newRow("empty") << "";
        QTest::newRow("a folder") << "/tmp";
    }
    void missingExecutable() {
        QFETCH(QString, cmd);
        auto p = NewProcess(cmd);
        QElapsedTimer clock;
        clock.start();
        p->Launch();
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(p->StdOut(), QString());
        QCOMPARE(p->RC(), 0);
        QVERIFY(!p->IsActive());
    }

    void relaunchClearsOutput() {
        auto p = NewProcess(sh("echo first; exit 2"));
        p->Launch();
        QCOMPARE(p->RC(), 2);
        p->setCmdLine(sh("echo second"));
        p->Launch();
        QCOMPARE(p->StdOut(), QString("second\n"));
        QCOMPARE(p->RC(), 0);
    }

    void elapsedTimeIsTimeText() {
        auto p = NewProcess(sh("exit 0"));
        p->Launch();
        QVERIFY(p->StartTime().isValid());
        QCOMPARE(p->ElapsedTime(), QString("0:00:00"));
    }

    void toolJobReportsProgressAndItsEnd() {
        QTemporaryDir dir;
        ToolJob job;
        QList<double> times;
        QList<qint64> order; // started's pid, then -1 for finished
        ToolJobResult result;
        connect(&job, &ToolJob::started, [&](qint64 pid) { order << pid; });
        connect(&job, &ToolJob::polled, [&](std::optional<double> t) {
            if (t)
                times << *t;
        });
        connect(&job, &ToolJob::finished, [&](const ToolJobResult& r) {
            order << -1;
            result = r;
        });
        QSignalSpy finished(&job, &ToolJob::finished);
        ToolJob::Options options;
        options.logFile = dir.filePath("log");
        options.pollMs = 50;
        QVERIFY(job.start(sh("for t in 1 2 3; do printf 'frame=1 time=00:00:0%s.00\\r' $t >&2; "
                             "sleep 0.2; done; echo 'x: Invalid data found' >&2; exit 4"),
                          options));
        QVERIFY(finished.wait(10000));
        QCOMPARE(order.size(), 2);
        QVERIFY(order.first() > 0 && order.last() == -1);
        QVERIFY(!times.isEmpty() && times.last() >= 2.0);
        QCOMPARE(result.exitCode, 4);
        QVERIFY(!result.succeeded() && !result.stopRequested);
        QCOMPARE(result.errorLines, QString("x: Invalid data found"));
        QCOMPARE(finished.size(), 1);
    }

    void toolJobStopEscalates_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("ignores q") << "sleep 30 & wait";
        QTest::newRow("ignores q and terminate, and so does its child")
            << "trap '' TERM; sleep 30 & wait; wait";
    }
    void toolJobStopEscalates() {
        QFETCH(QString, script);
        ToolJob job;
        QSignalSpy finished(&job, &ToolJob::finished);
        ToolJob::Options options;
        options.toolName = "/bin/sh";
        options.stopGraceMs = 200;
        options.termGraceMs = 200;
        QVERIFY(job.start(sh(script), options));
        const qint64 pid = job.processId();
        QTest::qWait(100);
        job.stop();
        QVERIFY(finished.wait(5000));
        const auto result = finished.first().first().value<ToolJobResult>();
        QVERIFY(result.crashed && result.stopRequested);
        // Nothing of the tool's group is left.
        QTRY_COMPARE(::kill(static_cast<pid_t>(-pid), 0), -1);
    }

    void toolJobThatCannotStartSaysSo() {
        ToolJob job;
        QSignalSpy started(&job, &ToolJob::started);
        QVERIFY(!job.start("/nonexistent/fp.dll -i x", {}));
        QVERIFY(!job.isRunning());
        QCOMPARE(started.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
