#include "process/commandline.h"
#include "process/stopsequence.h"
#include "process/tooljob.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace clipvane;

namespace {
// A command line that runs a small sh script (the tests' child; the program never uses sh).
QString sh(const QString& script) {
    return "/bin/sh -c " + quoteArgument(script);
}

// A process's state as /proc shows it ('T': stopped), or 0.
char processState(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}
} // namespace

class TestToolJob : public QObject {
    Q_OBJECT
private slots:
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

    // The stop sequence, step by step: what it sent (the key by its writer, the signals by
    // its own account) and how the tool ended. Each tool says when it is ready (its traps set)
    // and waits for ever unless a step ends it; the grace periods it must not reach are long.
    void stopSequenceSteps_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("suspended"); // the group is stopped (SIGSTOP) beforehand
        QTest::addColumn<bool>("alive");     // what the liveness function says
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("graceMs");
        QTest::addColumn<int>("termGraceMs");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("exitCode"); // 9: killed
        const QString endsOnTerm =
            "trap 'exit 3' TERM; echo ready; while :; do sleep 1 & wait; done";
        QTest::newRow("ends on the key")
            << "echo ready; head -c 1 >/dev/null; exit 0" << false << true << QByteArray("q")
            << 60000 << 60000 << "CONT key" << 0;
        QTest::newRow("ignores the key: terminated after the grace")
            << endsOnTerm << false << true << QByteArray("q") << 100 << 60000
            << "CONT key CONT TERM" << 3;
        QTest::newRow("stopped: continued, then terminated")
            << endsOnTerm << true << true << QByteArray() << 0 << 60000 << "CONT TERM" << 3;
        QTest::newRow("ignores terminate: killed")
            << "trap '' TERM; echo ready; while :; do sleep 1 & wait; done" << false << true
            << QByteArray() << 0 << 100 << "CONT TERM KILL" << 9;
        QTest::newRow("not running, as far as it knows: left alone")
            << endsOnTerm << false << false << QByteArray("q") << 0 << 0 << "" << 9;
    }
    void stopSequenceSteps() {
        QFETCH(QString, script);
        QFETCH(bool, suspended);
        QFETCH(bool, alive);
        QFETCH(QByteArray, key);
        QFETCH(int, graceMs);
        QFETCH(int, termGraceMs);
        QFETCH(QString, steps);
        QFETCH(int, exitCode);
        ToolProcess tool;
        ToolProcess::Options options;
        options.keysOnStdin = true;
        options.standardOutput = ToolProcess::Channel::Keep;
        QVERIFY(tool.start(QStringList{"/bin/sh", "-c", script}, options));
        QSignalSpy finished(&tool, &ToolProcess::finished);
        const qint64 pid = tool.processId();
        QTRY_VERIFY_WITH_TIMEOUT(tool.output().contains("ready"), 30000);
        if (suspended) {
            ::kill(static_cast<pid_t>(-pid), SIGSTOP);
            QTRY_VERIFY(processState(pid) == 'T');
        }
        QStringList sent;
        StopSequence stop;
        stop.setTarget({pid, [&] { return alive && tool.isRunning(); },
                        [&](const QByteArray& bytes) {
                            sent << "key";
                            tool.write(bytes);
                        }});
        connect(&stop, &StopSequence::signalled, this, [&](int signal) {
            sent << (signal == SIGCONT ? "CONT" : signal == SIGTERM ? "TERM" : "KILL");
        });
        connect(&tool, &ToolProcess::finished, &stop, &StopSequence::cancel);
        stop.start(key, graceMs, termGraceMs);
        if (!alive) {
            QVERIFY(!stop.isActive());
            QTest::qWait(200);
            QVERIFY(finished.isEmpty()); // nothing reached it
            tool.kill();
        }
        QVERIFY(finished.wait(30000));
        const ToolExit exit = finished.first().first().value<ToolExit>();
        QCOMPARE(exit.exitCode, exitCode);
        QCOMPARE(exit.crashed, exitCode == 9);
        QCOMPARE(sent.join(' '), steps);
        QVERIFY(!stop.isActive());
    }

    // A tool asked to run at a lower priority runs that much nicer than the program (the
    // system's limit of 19 kept).
    void niceness_data() {
        QTest::addColumn<int>("niceness");
        QTest::newRow("as the program") << 0;
        QTest::newRow("lower") << 7;
        QTest::newRow("beyond the limit") << 40;
    }
    void niceness() {
        QFETCH(int, niceness);
        ToolProcess tool;
        ToolProcess::Options options;
        options.standardOutput = ToolProcess::Channel::Keep;
        options.niceness = niceness;
        QSignalSpy finished(&tool, &ToolProcess::finished);
        QVERIFY(tool.start(QStringList{"nice"}, options));
        QVERIFY(finished.wait(30000));
        errno = 0;
        const int own = ::getpriority(PRIO_PROCESS, 0);
        QCOMPARE(tool.output().trimmed().toInt(), std::min(own + niceness, 19));
    }

    void toolJobThatCannotStartSaysSo() {
        ToolJob job;
        QSignalSpy started(&job, &ToolJob::started);
        QVERIFY(!job.start("/nonexistent/fp.dll -i x", {}));
        QVERIFY(!job.isRunning());
        QCOMPARE(started.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestToolJob)
#include "tst_tooljob.moc"
