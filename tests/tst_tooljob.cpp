#include "process/commandline.h"
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
