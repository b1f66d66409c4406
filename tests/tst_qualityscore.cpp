#include "convert/qualityscore.h"
#include "process/toolprocess.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

// The quality score: FFmpeg's summary lines read, and real outputs compared with their
// sources (a poor encode scores lower than a good one, and only the clip's own frames count).
class TestQualityScore : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString source;

    QString path(const QString& name) const { return dir.filePath(name); }
    // An encode of the source's clip from 2 s, 3 s long, as a batch item would make it.
    bool encode(const QString& name, const QStringList& videoArgs) const {
        return test::makeClip(path(name), {"-ss", "2", "-i", source, "-t", "3"},
                              QStringList{"-an", "-preset", "veryfast"} + videoArgs);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        source = path("source.mkv");
        // Busy detail that moves: what a starved encoder cannot keep.
        QVERIFY(test::makeClip(
            source, {"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-t", "6"},
            {"-vf", "noise=alls=12:allf=t", "-c:v", "libx264", "-qp", "0", "-pix_fmt", "yuv420p"}));
        QVERIFY(encode("good.mp4", {"-c:v", "libx264", "-crf", "18"}));
        QVERIFY(encode("poor.mp4", {"-c:v", "libx264", "-b:v", "40k"}));
        // Shown at 640x360 through a wide pixel aspect: compared at its display size.
        QVERIFY(encode("anamorphic.mp4",
                       {"-vf", "scale=320:360,setsar=2", "-c:v", "libx264", "-crf", "18"}));
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

    // SLOW: real FFmpeg. Each output is scored in turn; the rows get their scores.
    void realOutputs() {
        SourceList list;
        QualityScorer scorer(&list);
        QSignalSpy idle(&scorer, &QualityScorer::idle);
        const auto row = [&](const QString& output, double start) {
            const SourceList::Id id = list.append(source);
            scorer.enqueue(id, {source, path(output), start, 3.0});
            return id;
        };
        const SourceList::Id good = row("good.mp4", 2);
        const SourceList::Id poor = row("poor.mp4", 2);
        const SourceList::Id misaligned = row("good.mp4", 0);
        const SourceList::Id anamorphic = row("anamorphic.mp4", 2);
        const SourceList::Id missing = row("missing.mp4", 2);
        QVERIFY(!scorer.isIdle());
        // The comparisons run at a low priority: on a busy machine they wait their turn.
        QTRY_VERIFY_WITH_TIMEOUT(scorer.isIdle(), 900000);
        QCOMPARE(idle.size(), 1);
        const auto ssim = [&](SourceList::Id id) {
            return list.score(id).value_or(OutputScore{}).ssim;
        };
        qInfo("SSIM good %.4f, poor %.4f, misaligned %.4f, anamorphic %.4f", ssim(good), ssim(poor),
              ssim(misaligned), ssim(anamorphic));
        QVERIFY(ssim(good) >= 0.9);
        QVERIFY(ssim(poor) < ssim(good) - 0.1);
        QVERIFY(list.score(poor)->psnr < list.score(good)->psnr - 5);
        QVERIFY(ssim(misaligned) < ssim(good) - 0.1);
        // Half the width's detail is gone, the picture's shape kept: it measures between.
        QVERIFY(ssim(anamorphic) > ssim(poor) && ssim(anamorphic) < ssim(good));
        QVERIFY(!list.score(missing));
        QCOMPARE(list.textAt(list.rowOf(good), SourceList::Quality),
                 QStringLiteral("SSIM %1").arg(ssim(good), 0, 'f', 3));
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
