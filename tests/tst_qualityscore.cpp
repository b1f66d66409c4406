#include "convert/qualityscore.h"
#include "process/toolprocess.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

// The quality score: the stretches compared, FFmpeg's summary lines read, and real outputs
// compared with their sources (a poor encode scores lower than a good one, and only the clip's
// own frames count, whole or in windows).
class TestQualityScore : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString source; // 6 s: its clips are compared whole

    QString path(const QString& name) const { return dir.filePath(name); }
    // An encode of a source's clip, as a batch item would make it.
    bool encode(const QString& name, const QString& from, double start, double length,
                const QStringList& videoArgs) const {
        QStringList input{"-ss", QString::number(start), "-i", from};
        if (length > 0)
            input << "-t" << QString::number(length);
        return test::makeClip(path(name), input,
                              QStringList{"-an", "-preset", "ultrafast"} + videoArgs);
    }
    // Busy detail that moves, different in every frame: what a starved encoder cannot keep,
    // and what shows at once when frames are paired wrongly.
    bool makeSource(const QString& to, const QString& size, const QString& rate,
                    int seconds) const {
        return test::makeClip(
            to,
            {"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=%1:rate=%2").arg(size, rate), "-t",
             QString::number(seconds)},
            {"-vf", "noise=alls=12:allf=t", "-c:v", "libx264", "-crf", "8", "-pix_fmt", "yuv420p"});
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        source = path("source.mkv");
        QVERIFY(makeSource(source, "640x360", "25", 6));
        // Compared in windows. Its timestamps are whole milliseconds, some rounded down; its
        // encodes' are exact.
        QVERIFY(makeSource(path("long.mkv"), "320x180", "30000/1001", 26));
        QVERIFY(encode("good.mp4", source, 2, 3, {"-c:v", "libx264", "-crf", "18"}));
    }

    void windowsChosen_data() {
        QTest::addColumn<double>("clipLength");
        QTest::addColumn<QList<double>>("starts"); // each window 1 s long; none: the whole clip
        QTest::newRow("length not known") << 0.0 << QList<double>{};
        QTest::newRow("nonsense length") << -4.0 << QList<double>{};
        QTest::newRow("short") << 3.0 << QList<double>{};
        QTest::newRow("longest compared whole") << 20.0 << QList<double>{};
        QTest::newRow("just longer") << 20.5 << QList<double>{2.917, 9.75, 16.583};
        QTest::newRow("half a minute") << 30.0 << QList<double>{4.5, 14.5, 24.5};
        QTest::newRow("a minute and a half") << 90.0 << QList<double>{10.75, 33.25, 55.75, 78.25};
        QTest::newRow("ten minutes") << 600.0 << QList<double>{59.5, 179.5, 299.5, 419.5, 539.5};
        QTest::newRow("two hours")
            << 7200.0 << QList<double>{719.5, 2159.5, 3599.5, 5039.5, 6479.5};
    }
    void windowsChosen() {
        QFETCH(double, clipLength);
        QFETCH(QList<double>, starts);
        const std::vector<ScoreWindow> windows = scoreWindows(clipLength);
        if (starts.isEmpty()) {
            QCOMPARE(windows.size(), std::size_t(1));
            QCOMPARE(windows.front(), (ScoreWindow{0, std::max(clipLength, 0.0)}));
            return;
        }
        QCOMPARE(windows.size(), std::size_t(starts.size()));
        for (std::size_t i = 0; i < windows.size(); ++i) {
            QVERIFY2(qAbs(windows[i].start - starts[i]) < 1e-9, qPrintable(QString::number(i)));
            QCOMPARE(windows[i].length, 1.0);
            // Inside the clip, whole, with the output's lead before it inside too.
            QVERIFY(windows[i].start >= 0.5);
            QVERIFY(windows[i].start + windows[i].length <= clipLength);
        }
    }

    void summaryLines_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<double>("ssim"); // -1: no score
        QTest::addColumn<double>("psnr");
        const QByteArray ssim = "[Parsed_ssim_12 @ 0x5] SSIM Y:0.999 (32.8) U:0.99 (35.6) "
                                "V:0.99 (35.7) All:0.987563 (33.5)\n";
        QTest::newRow("both") << ssim + "[Parsed_psnr_13 @ 0x5] PSNR y:57.08 u:56.3 v:56.4 "
                                        "average:41.25 min:53.48 max:58.71\n"
                              << 0.987563 << 41.25;
        QTest::newRow("same frames") << ssim + "[Parsed_psnr_13 @ 0x5] PSNR y:inf u:inf v:inf "
                                               "average:inf min:inf max:inf\n"
                                     << 0.987563 << qInf();
        QTest::newRow("no psnr") << ssim << -1.0 << 0.0;
        QTest::newRow("nothing compared") << QByteArray("Output file is empty\n") << -1.0 << 0.0;
    }
    void summaryLines() {
        QFETCH(QByteArray, log);
        QFETCH(double, ssim);
        QFETCH(double, psnr);
        const std::optional<OutputScore> score = parseScore(log);
        QCOMPARE(score.has_value(), ssim >= 0);
        if (score)
            QCOMPARE(*score, (OutputScore{ssim, psnr}));
    }

    void realOutputs_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("windowed");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("length"); // 0: to the end
        QTest::newRow("whole clip") << "source.mkv" << false << 2.0 << 3.0;
        QTest::newRow("whole file") << "source.mkv" << false << 0.0 << 0.0;
        // Starting between two frames: the output's timestamps are rounded to its own frames.
        QTest::newRow("windows") << "long.mkv" << true << 2.01 << 22.0;
        // On a frame: a source frame whose time was rounded down still meets its own.
        QTest::newRow("windows from the start") << "long.mkv" << true << 0.0 << 22.0;
    }
    // SLOW: real FFmpeg. Each output is scored in turn; the rows get their scores.
    void realOutputs() {
        QFETCH(QString, from);
        QFETCH(bool, windowed);
        QFETCH(double, start);
        QFETCH(double, length);
        QCOMPARE(scoreWindows(length).size() > 1, windowed);
        from = path(from);
        const QString tag = QTest::currentDataTag();
        const auto encoded = [&](const QString& name, const QStringList& videoArgs) {
            const QString file = tag + QLatin1Char('-') + name;
            return encode(file, from, start, length, videoArgs) ? file : QString();
        };
        const QString good = encoded("good.mp4", {"-c:v", "libx264", "-crf", "18"});
        const QString poor = encoded("poor.mp4", {"-c:v", "libx264", "-b:v", "40k"});
        // Every pixel kept: scores perfectly only if each frame meets its own.
        const QString lossless = encoded("lossless.mp4", {"-c:v", "libx264", "-qp", "0"});
        // Shown at the source's size through a wide pixel aspect: compared at its display size.
        const QString anamorphic = encoded(
            "anamorphic.mp4", {"-vf", "scale=iw/2:ih,setsar=2", "-c:v", "libx264", "-crf", "18"});
        QVERIFY(!good.isEmpty() && !poor.isEmpty() && !lossless.isEmpty() && !anamorphic.isEmpty());

        SourceList list;
        QualityScorer scorer(&list);
        QSignalSpy idle(&scorer, &QualityScorer::idle);
        const auto row = [&](const QString& output, double clipStart) {
            const SourceList::Id id = list.append(from);
            scorer.enqueue(id, {from, path(output), clipStart, length});
            return id;
        };
        const SourceList::Id goodRow = row(good, start);
        const SourceList::Id poorRow = row(poor, start);
        const SourceList::Id losslessRow = row(lossless, start);
        // Compared from the wrong start: a second late, or from the file's start.
        const SourceList::Id misaligned = row(good, start > 0 ? 0 : 1);
        const SourceList::Id anamorphicRow = row(anamorphic, start);
        const SourceList::Id missing = row("missing.mp4", start);
        QVERIFY(!scorer.isIdle());
        // The comparisons run at a low priority: on a busy machine they wait their turn.
        QTRY_VERIFY_WITH_TIMEOUT(scorer.isIdle(), 900000);
        QCOMPARE(idle.size(), 1);
        const auto ssim = [&](SourceList::Id id) {
            return list.score(id).value_or(OutputScore{}).ssim;
        };
        qInfo("SSIM good %.4f, poor %.4f, lossless %.4f, misaligned %.4f, anamorphic %.4f",
              ssim(goodRow), ssim(poorRow), ssim(losslessRow), ssim(misaligned),
              ssim(anamorphicRow));
        QVERIFY(ssim(losslessRow) > 0.999);
        // Fine noise at crf 18 keeps about 0.96 (a little less in the smaller picture).
        QVERIFY(ssim(goodRow) >= 0.85);
        QVERIFY(ssim(poorRow) < ssim(goodRow) - 0.1);
        QVERIFY(list.score(poorRow)->psnr < list.score(goodRow)->psnr - 5);
        QVERIFY(ssim(misaligned) < ssim(goodRow) - 0.1);
        // Half the width's detail is gone, the picture's shape kept: it measures between.
        QVERIFY(ssim(anamorphicRow) > ssim(poorRow) && ssim(anamorphicRow) < ssim(goodRow));
        QVERIFY(!list.score(missing));
        QCOMPARE(list.textAt(list.rowOf(goodRow), SourceList::Quality),
                 QStringLiteral("SSIM %1").arg(ssim(goodRow), 0, 'f', 3));
    }

    // A paused run holds its comparisons: none starts until it goes on; one under way is
    // stopped where it is and finishes once let go.
    void pausedScorerWaits() {
        SourceList list;
        QualityScorer scorer(&list);
        scorer.setSuspended(true);
        const SourceList::Id id = list.append(source);
        scorer.enqueue(id, {source, path("good.mp4"), 2, 3});
        QVERIFY(!scorer.isIdle());
        QVERIFY(!scorer.findChild<ToolProcess*>());
        scorer.setSuspended(false);
        auto* tool = scorer.findChild<ToolProcess*>();
        QVERIFY(tool && tool->isRunning());
        scorer.setSuspended(true);
        QVERIFY(tool->isSuspended());
        scorer.setSuspended(false);
        QTRY_VERIFY_WITH_TIMEOUT(scorer.isIdle(), 900000);
        QVERIFY(list.score(id));
    }
};

QTEST_GUILESS_MAIN(TestQualityScore)
#include "tst_qualityscore.moc"
