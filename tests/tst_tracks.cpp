#include "base/textvalues.h"
#include "convert/batchrun.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "sources/mediaprobe.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

// End to end with real FFmpeg: files with several voices, subtitles, chapters, surround sound,
// HDR pictures, damage or no picture at all are probed, converted by the engine and their
// outputs looked at with ffprobe, as a user would.
class TestTracks : public QObject {
    Q_OBJECT

    QTemporaryDir media;
    std::unique_ptr<test::ProgramFolder> folder;

    QString path(const QString& name) { return media.filePath(name); }

    // What one conversion left: the row's status and note, and the output.
    struct Result {
        QString status;
        QString note;
        QString output;
        QString log;
    };
    // Converts one file with the profile as picked and the sheet's rows changed
    // ("Category/Row=value;..."), the row trimmed and given a track choice.
    Result convert(const QString& file, int profile, const QString& changes = {},
                   const TrackChoice& tracks = {}, std::optional<qint64> start = {},
                   std::optional<qint64> end = {}) {
        QTemporaryDir* out = new QTemporaryDir; // kept until the test ends
        out->setAutoRemove(true);
        outs.emplace_back(out);
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
            sheet.setValue(c.section('/', 0, 0), c.section('/', 1).section('=', 0, 0),
                           c.section('=', 1));
        const SourceList::Id id = test::addAndProbe(list, file);
        list.setTrackChoice(id, tracks);
        if (start || end)
            list.setClip(id, start ? start : list.clipStart(id), end ? end : list.clipEnd(id));
        BatchRun run({&list, &sheet, [profile] { return profile; }, nullptr});
        RunSettings settings;
        settings.outputFolder = out->path();
        QSignalSpy finished(&run, &BatchRun::runFinished);
        const std::optional<QString> refused = run.start(settings);
        if (refused)
            return {"refused", *refused, {}, {}};
        if (finished.isEmpty() && !finished.wait(300000))
            return {"no end", {}, {}, {}};
        const QStringList files = QDir(out->path()).entryList(QDir::Files);
        return {list.text(id, SourceList::Status), list.note(id),
                files.isEmpty() ? QString() : out->filePath(files.first()), list.logPath(id)};
    }
    std::vector<std::unique_ptr<QTemporaryDir>> outs;

    // "audio:aac:eng:Commentary:default" for each stream, in order; the title as MP4 keeps it.
    static QStringList streams(const QJsonObject& probe) {
        QStringList out;
        for (const QJsonValue& v : probe.value("streams").toArray()) {
            const QJsonObject s = v.toObject();
            const QString type = s.value("codec_type").toString();
            if (type == "data")
                continue; // MP4's chapter track
            const QJsonObject tags = s.value("tags").toObject();
            QString title = tags.value("title").toString();
            const QString handler = tags.value("handler_name").toString();
            if (title.isEmpty() && !handler.endsWith("Handler"))
                title = handler;
            QString line = type + ":" + s.value("codec_name").toString();
            if (type != "video")
                line +=
                    ":" + tags.value("language").toString() + ":" + title +
                    (s.value("disposition").toObject().value("default").toInt() ? ":default" : "");
            out << line;
        }
        return out;
    }
    static QStringList chapterStarts(const QString& file) {
        QProcess ffprobe;
        ffprobe.start("ffprobe", {"-v", "error", "-show_chapters", "-of", "json", file});
        ffprobe.waitForFinished(60000);
        QStringList out;
        const QJsonArray chapters = QJsonDocument::fromJson(ffprobe.readAllStandardOutput())
                                        .object()
                                        .value("chapters")
                                        .toArray();
        for (const QJsonValue& c : chapters)
            out << QString::number(c.toObject().value("start_time").toString().toDouble(), 'f', 1);
        return out;
    }
    static double seconds(const QString& file) {
        return test::probeMedia(file)
            .value("format")
            .toObject()
            .value("duration")
            .toString()
            .toDouble();
    }
    // The grey levels of the picture at a time of a file.
    static QByteArray frameAt(const QString& file, double at) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-ss", QString::number(at), "-i", file,
                                "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
        ffmpeg.waitForFinished(60000);
        return ffmpeg.readAllStandardOutput();
    }
    // How many of two pictures' pixels differ clearly.
    static int differing(const QByteArray& a, const QByteArray& b) {
        int n = 0;
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            n += std::abs(int(uchar(a[i])) - int(uchar(b[i]))) > 40 ? 1 : 0;
        return n;
    }

private slots:
    void initTestCase() {
        folder = std::make_unique<test::ProgramFolder>();
        QVERIFY(folder->isValid());
        const QStringList picture{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=4"};
        const auto tone = [](const QString& layout, int secs = 4) {
            return QStringList{"-f", "lavfi", "-i",
                               QString("sine=frequency=440:duration=%1,aformat=channel_layouts=%2")
                                   .arg(secs)
                                   .arg(layout)};
        };
        QFile chapters(path("chapters.txt"));
        QVERIFY(chapters.open(QIODevice::WriteOnly));
        chapters.write(";FFMETADATA1\ntitle=Two Voices\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                       "END=2000\ntitle=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\n"
                       "END=4000\ntitle=Middle\n");
        chapters.close();
        QFile srt(path("lines.srt"));
        QVERIFY(srt.open(QIODevice::WriteOnly));
        // A big white block of text from 0.5 s to 3.5 s.
        srt.write("1\n00:00:00,500 --> 00:00:03,500\n{\\fs60}\u2588\u2588\u2588\u2588 HELLO "
                  "\u2588\u2588\u2588\u2588\n");
        srt.close();
        QVERIFY(test::makeClip(path("voices.mkv"),
                               picture + tone("mono") + tone("stereo") +
                                   QStringList{"-i", srt.fileName(), "-i", chapters.fileName()},
                               {"-map",
                                "0",
                                "-map",
                                "1",
                                "-map",
                                "2",
                                "-map",
                                "3",
                                "-map_metadata",
                                "4",
                                "-map_chapters",
                                "4",
                                "-c:v",
                                "libx264",
                                "-preset",
                                "ultrafast",
                                "-c:a",
                                "aac",
                                "-c:s",
                                "srt",
                                "-metadata:s:a:0",
                                "language=eng",
                                "-metadata:s:a:1",
                                "language=deu",
                                "-metadata:s:a:1",
                                "title=Commentary",
                                "-metadata:s:s:0",
                                "language=eng",
                                "-disposition:a:0",
                                "default",
                                "-disposition:a:1",
                                "0"}));
        // The same film under a name that filter graphs and command lines find awkward.
        QVERIFY(QFile::copy(path("voices.mkv"), path("it's [a]; b:c,d.mkv")));
        QVERIFY(test::makeClip(path("surround.ts"), picture + tone("5.1(side)"),
                               {"-t", "3", "-c:v", "mpeg2video", "-c:a", "ac3", "-f", "mpegts"}));
        QVERIFY(test::makeClip(path("tone.flac"), tone("stereo", 3), {}));
        QVERIFY(test::makeClip(path("tone.mp3"), tone("stereo", 3), {}));
        QVERIFY(test::makeClip(path("hdr.mkv"),
                               {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2"},
                               {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                                "log-level=error", "-pix_fmt", "yuv420p10le", "-color_primaries",
                                "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc"}));
        // Bytes overwritten in the middle of an H.264 + AAC file.
        QVERIFY(test::makeClip(
            path("damaged.mp4"),
            {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=6", "-f", "lavfi", "-i",
             "sine=duration=6"},
            {"-c:v", "libx264", "-preset", "ultrafast", "-g", "250", "-c:a", "aac"}));
        QFile damaged(path("damaged.mp4"));
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        const qint64 size = damaged.size();
        for (qint64 at = size / 3; at < size / 3 + 20000; at += 997) {
            damaged.seek(at);
            damaged.write(QByteArray(40, 'Z'));
        }
    }
    void cleanupTestCase() { folder.reset(); }

    // Every voice and the subtitle go into Matroska, MP4 and WebM, languages and titles kept,
    // the default voice first and marked; chapters stay (shifted into a trimmed clip).
    void everyTrackIsKept_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("chapters");
        QTest::newRow("Matroska") << 9 << "" << qint64(0)
                                  << QStringList{"video:h264", "audio:aac:eng::default",
                                                 "audio:aac:deu:Commentary", "subtitle:subrip:eng:"}
                                  << QStringList{"0.0", "2.0"};
        QTest::newRow("Matroska from 0:00:01")
            << 9 << "" << qint64(100)
            << QStringList{"video:h264", "audio:aac:eng::default", "audio:aac:deu:Commentary",
                           "subtitle:subrip:eng:"}
            << QStringList{"0.0", "1.0"};
        // (MP4 shows the first subtitle track, when none is marked, as the default one.)
        QTest::newRow("MP4") << 5 << "" << qint64(0)
                             << QStringList{"video:h264", "audio:aac:eng::default",
                                            "audio:aac:deu:Commentary",
                                            "subtitle:mov_text:eng::default"}
                             << QStringList{"0.0", "2.0"};
        QTest::newRow("WebM") << 7 << "Video Options/Encoding Speed=Fast" << qint64(0)
                              << QStringList{"video:vp9", "audio:opus:eng::default",
                                             "audio:opus:deu:Commentary", "subtitle:webvtt:eng:"}
                              << QStringList{"0.0", "2.0"};
    }
    void everyTrackIsKept() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(qint64, start);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, chapters);
        const Result r = convert(path("voices.mkv"), profile, changes, {}, start);
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QCOMPARE(r.note, QString());
        QCOMPARE(streams(test::probeMedia(r.output)), expected);
        QCOMPARE(chapterStarts(r.output), chapters);
        // The file's own tags stay too.
        const QJsonObject tags = test::probeMedia(r.output)["format"].toObject()["tags"].toObject();
        QCOMPARE(tags.value(tags.contains("title") ? "title" : "TITLE").toString(),
                 QString("Two Voices"));
    }

    // A chosen voice alone; MP3 keeps the default voice and says what it left out.
    void chosenAndSingleTracks() {
        Result r = convert(path("voices.mkv"), 9, {}, TrackChoice{QList<int>{1}, QList<int>{}});
        QCOMPARE(r.status, QString("OK"));
        QCOMPARE(streams(test::probeMedia(r.output)),
                 (QStringList{"video:h264", "audio:aac:deu:Commentary:default"}));
        r = convert(path("voices.mkv"), 11);
        QCOMPARE(r.status, QString("OK"));
        QCOMPARE(streams(test::probeMedia(r.output)).size(), 1);
        QVERIFY2(r.note.contains("MP3 files hold one sound track; kept eng AAC 1.0") &&
                     r.note.contains("MP3 files hold no subtitles; left out: eng SRT"),
                 qPrintable(r.note));
    }

    // 5.1 AC-3 stays six channels at "Same as source" and becomes two when asked.
    void surroundChannels_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("channels");
        QTest::newRow("AAC, same as source") << 5 << "Same as source" << 6;
        QTest::newRow("AAC, two asked for") << 5 << "2" << 2;
        QTest::newRow("Opus, same as source") << 8 << "Same as source" << 6;
        QTest::newRow("MP3 holds two") << 11 << "Same as source" << 2;
    }
    void surroundChannels() {
        QFETCH(int, profile);
        QFETCH(QString, channel);
        QFETCH(int, channels);
        const Result r = convert(path("surround.ts"), profile,
                                 "Audio Options/Audio Channel=" + channel +
                                     ";Video Options/Encoding Speed=Fast");
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QCOMPARE(test::streamOf(test::probeMedia(r.output), "audio").value("channels").toInt(),
                 channels);
    }

    // Sound files are listed, converted by the sound-only profiles to the right length, and
    // refused by a video profile before anything starts.
    void soundFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("profile");
        for (const char* f : {"tone.flac", "tone.mp3"}) {
            QTest::addRow("%s to MP3", f) << f << 11;
            QTest::addRow("%s to M4A", f) << f << 12;
            QTest::addRow("%s to MP4", f) << f << 5;
        }
    }
    void soundFiles() {
        QFETCH(QString, file);
        QFETCH(int, profile);
        const Result r = convert(path(file), profile);
        if (profile == 5) {
            QCOMPARE(r.status, QString("Fail"));
            QCOMPARE(r.note, QString("This file holds sound only, no video picture. Choose MP3 "
                                     "Audio or AAC Audio under Profile: to convert it."));
            QVERIFY(r.output.isEmpty() && r.log.isEmpty()); // no encoder was started
            return;
        }
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QVERIFY(test::streamOf(test::probeMedia(r.output), "video").isEmpty());
        QVERIFY2(qAbs(seconds(r.output) - 3.0) < 0.2,
                 qPrintable(QString::number(seconds(r.output))));
    }

    // Subtitles drawn into the picture, from a clip that starts a second in: the picture
    // half a second into the output (1.5 s into the film, under the subtitle) changes; a
    // name full of the filter graph's characters reaches the filter whole.
    void burnInDrawsIntoThePicture() {
        const QString file = path("it's [a]; b:c,d.mkv");
        const Result plain = convert(file, 5, {}, {}, qint64(100));
        const Result burnt =
            convert(file, 5, "Video Options/Burn In Subtitles=Chosen Track", {}, qint64(100));
        QVERIFY2(plain.status == "OK", qPrintable(plain.note));
        QVERIFY2(burnt.status == "OK", qPrintable(burnt.note));
        QVERIFY2(differing(frameAt(plain.output, 0.5), frameAt(burnt.output, 0.5)) > 500,
                 "the subtitle is not in the picture");
        // Past the subtitle's end (3.5 s into the film) the pictures agree again.
        QVERIFY(differing(frameAt(plain.output, 2.8), frameAt(burnt.output, 2.8)) < 100);
        // The burnt track is not kept beside the picture as well.
        QCOMPARE(streams(test::probeMedia(burnt.output)).filter("subtitle:").size(), 0);
    }

    // An HDR picture becomes BT.709 for the 8-bit encoder, and the row says so.
    void hdrIsToneMapped() {
        const Result r = convert(path("hdr.mkv"), 5);
        QVERIFY2(r.status == "OK", qPrintable(r.note));
        const QJsonObject video = test::streamOf(test::probeMedia(r.output), "video");
        QCOMPARE(video.value("color_primaries").toString(), QString("bt709"));
        QCOMPARE(video.value("color_transfer").toString(), QString("bt709"));
        QCOMPARE(video.value("pix_fmt").toString(), QString("yuv420p"));
        QVERIFY2(r.note.contains("HDR (BT.2020 PQ)") && r.note.contains("tone-mapped"),
                 qPrintable(r.note));
    }

    // A damaged source converts, and its row says how many decoding errors the encoder met.
    void damagedSourceIsSaid() {
        const Result r = convert(path("damaged.mp4"), 5);
        QVERIFY2(r.status == "OK", qPrintable(r.note));
        static const QRegularExpression said(
            "^The source has damaged parts \\(([0-9]+) decoding errors?\\); the output may show "
            "them\\.$");
        const QRegularExpressionMatch m = said.match(r.note);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() > 0, qPrintable(r.note));
        // An undamaged file says nothing of the kind.
        QCOMPARE(convert(path("voices.mkv"), 5).note, QString());
    }
};

QTEST_MAIN(TestTracks)
#include "tst_tracks.moc"
