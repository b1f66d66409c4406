#include "convert/batchrun.h"
#include "convert/outputpreview.h"
#include "convert/plannedoutput.h"
#include "convert/sizeestimator.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "sources/picturelook.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using namespace clipvane;

// End to end with real FFmpeg: the picture rows (quality and its cap, rotation, pixel shape,
// crop, deinterlacing) on small clips made here, the outputs measured as a user would.
class TestPicture : public QObject {
    Q_OBJECT

    QTemporaryDir media, out;
    std::unique_ptr<test::ProgramFolder> folder;
    int runs = 0;
    QString path(const QString& name) { return media.filePath(name); }

    struct Result {
        QString status, note, output;
        QString found; // the item page's line of the picture's findings
    };
    // Converts a file with the profile as picked and rows changed ("Row=value;..." of Video
    // Options).
    Result convert(const QString& file, int profile, const QString& changes = {}) {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        for (const QString& c : changes.split(';', Qt::SkipEmptyParts)) {
            if (!sheet.setValue(opt::Video, c.section('=', 0, 0), c.section('=', 1)))
                return {"refused " + c, {}, {}, {}};
        }
        const SourceList::Id id = test::addAndProbe(list, file);
        BatchRun run({&list, &sheet, [profile] { return profile; }, nullptr});
        RunSettings settings;
        settings.outputFolder = out.filePath(QString::number(++runs));
        QSignalSpy finished(&run, &BatchRun::runFinished);
        if (run.start(settings) || (finished.isEmpty() && !finished.wait(300000)))
            return {"no run", {}, {}, {}};
        const QStringList files = QDir(settings.outputFolder).entryList(QDir::Files);
        return {list.text(id, SourceList::Status), list.note(id),
                files.isEmpty() ? QString() : settings.outputFolder + "/" + files.first(),
                pictureFactsText(list.streamFacts(id).picture)};
    }
    static QString size(const QString& file) {
        const QJsonObject v = test::streamOf(test::probeMedia(file), "video");
        return QString("%1x%2").arg(v["width"].toInt()).arg(v["height"].toInt());
    }
    // What idet makes of a file's pictures: "interlaced", "progressive" or "undetermined".
    static QString fieldOrder(const QString& file) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-nostdin", "-i", file, "-vf", "idet", "-f", "null", "-"});
        ffmpeg.waitForFinished(120000);
        const PictureLook look = parsePictureLook(ffmpeg.readAllStandardError());
        return !look.interlaced ? "undetermined" : *look.interlaced ? "interlaced" : "progressive";
    }
    // The picture's mean kbit/s.
    static double videoKbits(const QString& file) {
        const QJsonObject probe = test::probeMedia(file);
        const double seconds = probe["format"].toObject()["duration"].toString().toDouble();
        return seconds > 0 ? QFileInfo(file).size() * 8 / 1000.0 / seconds : 0;
    }
    // FFmpeg's SSIM of a file against its source (0 when it could not tell).
    static double ssim(const QString& file, const QString& source) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-nostdin", "-i", file, "-i", source, "-lavfi", "[0:v][1:v]ssim",
                                "-f", "null", "-"});
        ffmpeg.waitForFinished(120000);
        const QRegularExpressionMatch m =
            QRegularExpression("All:([0-9.]+)").match(ffmpeg.readAllStandardError());
        return m.hasMatch() ? m.captured(1).toDouble() : 0;
    }

private slots:
    // The pass logs' folders left in the private temporary folder.
    QStringList passFolders() const {
        return QDir(media.filePath("tmp")).entryList({"clipvane-pass-*"}, QDir::AllEntries);
    }

    void initTestCase() {
        // Temporary files (the pass logs) go where this test can see them.
        QVERIFY(QDir(media.path()).mkpath("tmp"));
        qputenv("TMPDIR", QFile::encodeName(media.filePath("tmp")));
        folder = std::make_unique<test::ProgramFolder>();
        QVERIFY(folder->isValid());
        const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-crf", "12"};
        QVERIFY(test::makeClip(path("detail.mkv"),
                               {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2"},
                               x264));
        // Grain that changes every picture: without a cap a constant quality spends a lot.
        QVERIFY(test::makeClip(
            path("noisy.mkv"),
            {"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=2,noise=alls=25:allf=t"},
            x264));
        // A PAL 16:9 DVD's picture: 720x576 stored, pixels 64:45 wide.
        QVERIFY(test::makeClip(
            path("pal.mkv"),
            {"-f", "lavfi", "-i", "testsrc2=size=720x576:rate=25:duration=1,setsar=64/45"}, x264));

        // Motion and detail over 8 s, for a rate to aim at.
        QVERIFY(test::makeClip(path("moving.mkv"),
                               {"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=8"},
                               x264));
        QVERIFY(test::makeClip(path("long.mkv"),
                               {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=12"},
                               x264));
        // A film letterboxed in 1920x1080: 140 black lines above and below, 8 s long, so that
        // the probe looks at three points.
        QVERIFY(
            test::makeClip(path("letterbox.mkv"),
                           {"-f", "lavfi", "-i",
                            "testsrc=size=1920x800:rate=5:duration=8,pad=1920:1080:0:140:black"},
                           x264));
        // A PAL broadcast's interlaced picture (two fields of 50 a second in each frame).
        QVERIFY(test::makeClip(
            path("fields.mpg"),
            {"-f", "lavfi", "-i",
             "mandelbrot=size=720x576:rate=50,trim=duration=2,tinterlace="
             "mode=interleave_top"},
            {"-c:v", "mpeg2video", "-flags", "+ildct+ilme", "-top", "1", "-q:v", "3"}));
        // Matroska with AAC sound: its first picture comes a little after the sound's start,
        // so an output of a constant rate repeats it.
        QVERIFY(test::makeClip(path("talk.mkv"),
                               {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=4",
                                "-f", "lavfi", "-i", "sine=duration=4"},
                               {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}));
        // A minute with sound, for a size to aim at and to estimate.
        QVERIFY(test::makeClip(
            path("minute.mkv"),
            {"-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25:duration=60,noise=alls=4:allf=t",
             "-f", "lavfi", "-i", "sine=frequency=440:duration=60"},
            {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "16", "-c:a", "flac"}));
        QVERIFY(test::makeClip(path("frames.mpg"),
                               {"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=2"},
                               {"-c:v", "mpeg2video", "-q:v", "3"}));
    }

    // The probe finds the bars and the fields; Automatic cuts the bars away and makes whole
    // pictures of fields, only where it found them.
    void automaticCropAndDeinterlace_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("size");
        QTest::newRow("letterboxed film")
            << "letterbox.mkv"
            << "1920x1080 \u00b7 black bars: picture 1920:800:0:140 \u00b7 progressive"
            << "1920x800";
        QTest::newRow("interlaced broadcast") << "fields.mpg"
                                              << "720x576 \u00b7 no black bars \u00b7 interlaced"
                                              << "720x576";
        QTest::newRow("progressive") << "frames.mpg"
                                     << "720x576 \u00b7 no black bars \u00b7 progressive"
                                     << "720x576";
    }
    void automaticCropAndDeinterlace() {
        QFETCH(QString, file);
        QFETCH(QString, found);
        QFETCH(QString, size);
        QCOMPARE(fieldOrder(path("fields.mpg")), QString("interlaced")); // the source combs
        const Result r =
            convert(path(file), 5, "Crop=Automatic;Deinterlace=Automatic;Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QCOMPARE(r.found, found);
        QCOMPARE(this->size(r.output), size);
        QCOMPARE(fieldOrder(r.output), QString("progressive"));
    }

    // Lower is better: Quality 18 spends more bits on a better picture than 28.
    void qualityScale() {
        const Result fine = convert(path("detail.mkv"), 5, "Quality=18");
        const Result coarse = convert(path("detail.mkv"), 5, "Quality=28");
        QVERIFY2(fine.status == "OK", qPrintable(fine.status + ": " + fine.note));
        QVERIFY2(coarse.status == "OK", qPrintable(coarse.status + ": " + coarse.note));
        const qint64 fineBytes = QFileInfo(fine.output).size();
        const qint64 coarseBytes = QFileInfo(coarse.output).size();
        const double fineSsim = ssim(fine.output, path("detail.mkv"));
        const double coarseSsim = ssim(coarse.output, path("detail.mkv"));
        qInfo("Quality 18: %lld bytes, SSIM %.4f; Quality 28: %lld bytes, SSIM %.4f", fineBytes,
              fineSsim, coarseBytes, coarseSsim);
        QVERIFY(fineBytes > coarseBytes);
        QVERIFY(coarseSsim > 0.5 && fineSsim > coarseSsim);
    }

    // The cap for a 360-line picture holds VP9's rate on grain near it; a constant quality
    // alone spends over 16000 kbit/s on this clip.
    void vp9CapBoundsNoise() {
        const Result r = convert(path("noisy.mkv"), 7, "Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        const double kbits = videoKbits(r.output);
        qInfo("VP9 at a cap of 1000 kbit/s: %.0f kbit/s", kbits);
        QVERIFY2(kbits > 0 && kbits < 2500, qPrintable(QString::number(kbits)));
    }

    // Two passes at 1000 kbit/s land on the rate; the log's folder goes afterwards.
    void twoPassRate() {
        const Result r =
            convert(path("moving.mkv"), 5, "Video Bitrate=1000;Two-Pass=Yes;Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        const QJsonObject video = test::streamOf(test::probeMedia(r.output), "video");
        const double kbits = video["bit_rate"].toString().toDouble() / 1000;
        qInfo("Two-Pass at 1000 kbit/s: %.1f kbit/s", kbits);
        QVERIFY2(std::abs(kbits - 1000) <= 50, qPrintable(QString::number(kbits)));
        QCOMPARE(passFolders(), QStringList());
        // Both passes see the same pictures where the output repeats one.
        const Result talk = convert(path("talk.mkv"), 5, "Video Bitrate=512;Two-Pass=Yes");
        QVERIFY2(talk.status == "OK", qPrintable(talk.status + ": " + talk.note));
    }

    // Target Size 5 MB on a minute: the file weighs 4.85 to 5.15 MB, as the row's estimate
    // said before.
    void targetSize() {
        const Result r =
            convert(path("minute.mkv"), 5,
                    "Video Bitrate=Target Size;Target Size (MB)=5;Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        const qint64 bytes = QFileInfo(r.output).size();
        qInfo("Target Size 5 MB over 60 s: %lld bytes", bytes);
        QVERIFY2(bytes >= 4850000 && bytes <= 5150000, qPrintable(QString::number(bytes)));
        QCOMPARE(passFolders(), QStringList());
        // Too small for a minute of picture: refused before anything starts, with the size
        // that would do.
        const Result small =
            convert(path("minute.mkv"), 5, "Video Bitrate=Target Size;Target Size (MB)=0.5");
        QCOMPARE(small.status, QString("no run"));
    }

    // Samples of a minute at three points tell the size of a constant quality's output, and
    // a lower quality a smaller one.
    void estimateFromSamples() {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 5);
        sheet.setValue(opt::Video, opt::EncodingSpeed, "Fast");
        const SourceList::Id id = test::addAndProbe(list, path("minute.mkv"));
        SizeEstimator estimator(&list, [&](SourceList::Id row) -> std::optional<EncoderInputs> {
            const RowEncoding encoding = rowEncoding(list, row, 5, &sheet);
            EncoderInputs in = rowInputs(list, row, encoding.profile, RunSettings());
            in.programFolder = folder->path();
            in.options = std::get<EncoderOptions>(encoding.options);
            return in;
        });
        const auto estimate = [&]() -> qint64 {
            QSignalSpy idle(&estimator, &SizeEstimator::idle);
            estimator.refresh();
            if (!estimator.isIdle() && !idle.wait(120000))
                return -1;
            const auto e = list.estimate(id);
            return e && e->basis == SizeEstimate::Basis::Samples ? e->bytes : -1;
        };
        const qint64 predicted = estimate();
        QVERIFY(predicted > 0);
        const Result r = convert(path("minute.mkv"), 5, "Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        const double error = double(predicted) / double(QFileInfo(r.output).size()) - 1;
        qInfo("estimate %lld bytes, output %lld: %+.1f %%", predicted, QFileInfo(r.output).size(),
              error * 100);
        QVERIFY2(std::abs(error) < 0.25, qPrintable(QString::number(error)));
        sheet.setValue(opt::Video, opt::Quality, "35");
        const qint64 lower = estimate();
        QVERIFY2(lower > 0 && lower < predicted * 3 / 4, qPrintable(QString::number(lower)));
    }

    // Cancelled once the first pass is through: neither the log nor a partial file stays.
    void twoPassCancelledBetweenPasses() {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 5);
        QVERIFY(sheet.setValue(opt::Video, opt::VideoBitrate, "1000"));
        QVERIFY(sheet.setValue(opt::Video, opt::TwoPass, "Yes"));
        test::addAndProbe(list, path("moving.mkv"));
        BatchRun run({&list, &sheet, [] { return 5; }, nullptr});
        RunSettings settings;
        settings.outputFolder = out.filePath("cancelled");
        QVERIFY(QDir().mkpath(settings.outputFolder));
        QStringList seen;
        int passes = 0;
        connect(&run, &BatchRun::encoderStarted, this, [&] {
            seen = passFolders();
            if (++passes == 2)
                run.cancel();
        });
        QSignalSpy finished(&run, &BatchRun::runFinished);
        QVERIFY(!run.start(settings));
        QVERIFY(finished.wait(300000));
        QCOMPARE(passes, 2);
        QCOMPARE(seen.size(), 1); // the log's folder was there
        QTRY_COMPARE_WITH_TIMEOUT(passFolders(), QStringList(), 60000);
        QCOMPARE(QDir(settings.outputFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A sample of the output: 10 s from the clip's start (the clip when shorter), in a
    // private folder, never the output folder; the next sample and the preview's end remove
    // it.
    void outputSample() {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 7);
        QVERIFY(sheet.setValue(opt::Video, opt::EncodingSpeed, "Fast"));
        const SourceList::Id longer = test::addAndProbe(list, path("long.mkv"));
        const SourceList::Id shorter = test::addAndProbe(list, path("detail.mkv"));
        list.setClip(longer, 100, list.clipEnd(longer).value_or(0));
        RunSettings settings;
        settings.outputFolder = out.filePath("samples");
        QVERIFY(QDir().mkpath(settings.outputFolder));
        auto preview = std::make_unique<OutputPreview>();
        QSignalSpy ready(preview.get(), &OutputPreview::ready);
        QStringList folders;
        for (const auto& [id, seconds] : {std::pair{longer, 10.0}, std::pair{shorter, 2.0}}) {
            EncoderInputs in = rowInputs(list, id, profileAt(7), settings);
            in.options = std::get<EncoderOptions>(readEncoderOptions(sheet));
            ready.clear();
            QCOMPARE(preview->start(in), std::nullopt);
            for (const QString& earlier : folders)
                QVERIFY(!QFileInfo::exists(earlier));
            folders << preview->folder();
            QVERIFY(ready.wait(120000));
            const QString sample = ready.at(0).at(0).toString();
            QVERIFY(sample.startsWith(preview->folder() + "/"));
            const double length =
                test::probeMedia(sample)["format"].toObject()["duration"].toString().toDouble();
            QVERIFY2(std::abs(length - seconds) < 0.3, qPrintable(QString::number(length)));
            QCOMPARE(ready.at(0).at(1).toDouble(), seconds);
            QVERIFY(sizePerMinuteText(ready.at(0).at(2).toLongLong(), seconds)
                        .endsWith(" MB per minute"));
        }
        QCOMPARE(QDir(settings.outputFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
        preview.reset();
        QVERIFY(!QFileInfo::exists(folders.last()));
        QCOMPARE(sizePerMinuteText(4'200'000, 60), QString("4.2 MB per minute"));
    }

    void pictureShape_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("size");
        QTest::newRow("rotate 90 stands the picture up") << "detail.mkv"
                                                         << "Rotate=90;Flip=Horizontal"
                                                         << "240x320";
        QTest::newRow("rotate 180 keeps it lying") << "detail.mkv"
                                                   << "Rotate=180;Denoise=Strong"
                                                   << "320x240";
        QTest::newRow("DVD pixels squared") << "pal.mkv"
                                            << "Square Pixels=Yes"
                                            << "1024x576";
        QTest::newRow("DVD pixels kept") << "pal.mkv"
                                         << ""
                                         << "720x576";
    }
    void pictureShape() {
        QFETCH(QString, file);
        QFETCH(QString, changes);
        QFETCH(QString, size);
        const Result r = convert(path(file), 5, changes + ";Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QCOMPARE(this->size(r.output), size);
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
