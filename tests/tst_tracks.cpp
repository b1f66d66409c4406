#include "convert/batchrun.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "sources/mediaprobe.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace clipvane;

// End to end with real FFmpeg: files with several voices, subtitles, chapters, surround sound,
// HDR pictures, damage or no picture at all are probed and converted by the engine, and their
// outputs looked at with ffprobe, as a user would.
class TestTracks : public QObject {
    Q_OBJECT

    QTemporaryDir media, out;
    std::unique_ptr<test::ProgramFolder> folder;
    QString path(const QString& name) { return media.filePath(name); }

    struct Result {
        QString status, note, output, log;
    };
    // Converts one file with the profile as picked and the sheet's rows changed
    // ("Category/Row=value;..."), the row trimmed to start there.
    Result convert(const QString& file, int profile, const QString& changes = {},
                   qint64 start = 0) {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
            sheet.setValue(c.section('/', 0, 0), c.section('/', 1).section('=', 0, 0),
                           c.section('=', 1));
        const SourceList::Id id = test::addAndProbe(list, file);
        list.setClip(id, start, list.clipEnd(id));
        BatchRun run({&list, &sheet, [profile] { return profile; }, nullptr});
        RunSettings settings;
        settings.outputFolder = out.filePath(QString::number(++runs));
        QSignalSpy finished(&run, &BatchRun::runFinished);
        if (run.start(settings) || (finished.isEmpty() && !finished.wait(300000)))
            return {"no run", {}, {}, {}};
        const QStringList files = QDir(settings.outputFolder).entryList(QDir::Files);
        return {list.text(id, SourceList::Status), list.note(id),
                files.isEmpty() ? QString() : settings.outputFolder + "/" + files.first(),
                list.logPath(id)};
    }
    int runs = 0;

    // "audio:aac:eng:Commentary:default" for each stream (MP4 keeps a title as the handler's
    // name); then "chapters:0.0,2.0".
    static QStringList tracks(const QString& file) {
        QProcess ffprobe;
        ffprobe.start("ffprobe",
                      {"-v", "error", "-show_streams", "-show_chapters", "-of", "json", file});
        ffprobe.waitForFinished(60000);
        const QJsonObject probe = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
        QStringList out, chapters;
        for (const QJsonValue& v : probe["streams"].toArray()) {
            const QJsonObject s = v.toObject();
            const QJsonObject tags = s["tags"].toObject();
            QString title = tags["title"].toString();
            if (title.isEmpty() && !tags["handler_name"].toString().endsWith("Handler"))
                title = tags["handler_name"].toString();
            const QString type = s["codec_type"].toString();
            if (type == "video")
                out << type + ":" + s["codec_name"].toString();
            else if (type != "data") // MP4's chapter track
                out << QStringList{type, s["codec_name"].toString(), tags["language"].toString(),
                                   title}
                               .join(':') +
                           (s["disposition"].toObject()["default"].toInt() ? ":default" : "");
        }
        for (const QJsonValue& c : probe["chapters"].toArray())
            chapters << QString::number(c.toObject()["start_time"].toString().toDouble(), 'f', 1);
        return out << "chapters:" + chapters.join(',');
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
    static void put(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

private slots:
    void initTestCase() {
        folder = std::make_unique<test::ProgramFolder>();
        QVERIFY(folder->isValid());
        const QStringList picture{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=4"};
        const auto tone = [](const QString& layout, int secs = 4) {
            return QStringList{
                "-f", "lavfi", "-i",
                QString("sine=duration=%1,aformat=channel_layouts=%2").arg(secs).arg(layout)};
        };
        put(path("chapters.txt"), ";FFMETADATA1\ntitle=Two Voices\n[CHAPTER]\nTIMEBASE=1/1000\n"
                                  "START=0\nEND=2000\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\n"
                                  "END=4000\n");
        // A big white block of text from 0.5 s to 3.5 s.
        put(path("lines.srt"), "1\n00:00:00,500 --> 00:00:03,500\n\u2588\u2588\u2588\u2588 HELLO "
                               "\u2588\u2588\u2588\u2588\n");
        QVERIFY(test::makeClip(path("voices.mkv"),
                               picture + tone("mono") + tone("stereo") +
                                   QStringList{"-i", path("lines.srt"), "-i", path("chapters.txt")},
                               QString("-map 0 -map 1 -map 2 -map 3 -map_metadata 4 "
                                       "-map_chapters 4 -c:v libx264 -preset ultrafast -c:a aac "
                                       "-c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 "
                                       "language=deu -metadata:s:a:1 title=Commentary "
                                       "-metadata:s:s:0 language=eng -disposition:a:0 default "
                                       "-disposition:a:1 0")
                                   .split(' ')));
        // The same film under a name that filter graphs find awkward; and once more with a
        // subtitle file beside it and one beside it that is none.
        QVERIFY(QFile::copy(path("voices.mkv"), path("it's [a]; b:c,d.mkv")));
        QVERIFY(QFile::copy(path("voices.mkv"), path("beside.mkv")));
        QVERIFY(QFile::copy(path("lines.srt"), path("beside.fr.srt")));
        put(path("beside.de.srt"), "\x89PNG, not subtitles");
        QVERIFY(test::makeClip(path("surround.ts"), picture + tone("5.1(side)"),
                               {"-t", "3", "-c:v", "mpeg2video", "-c:a", "ac3", "-f", "mpegts"}));
        QVERIFY(test::makeClip(path("tone.flac"), tone("stereo", 3), {}));
        QVERIFY(test::makeClip(path("tone.mp3"), tone("stereo", 3), {}));
        QVERIFY(test::makeClip(path("hdr.mkv"),
                               {"-f", "lavfi", "-i", "testsrc2=size=320x240:duration=2"},
                               {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                                "log-level=error", "-pix_fmt", "yuv420p10le", "-color_primaries",
                                "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc"}));
        // Bytes overwritten in the middle of an H.264 + AAC file.
        QVERIFY(test::makeClip(path("damaged.mp4"),
                               {"-f", "lavfi", "-i", "testsrc=size=320x240:duration=6", "-f",
                                "lavfi", "-i", "sine=duration=6"},
                               {"-c:v", "libx264", "-preset", "ultrafast", "-g", "250"}));
        QFile damaged(path("damaged.mp4"));
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        for (qint64 at = damaged.size() / 3; at < damaged.size() / 3 + 20000; at += 997) {
            damaged.seek(at);
            damaged.write(QByteArray(40, 'Z'));
        }
    }
    void cleanupTestCase() { folder.reset(); }

    // Every voice and the subtitle go into Matroska, MP4 and WebM, languages and titles kept,
    // the default voice first and marked; chapters and tags stay (shifted into a trimmed clip).
    // A readable subtitle file beside the source is a track; one that is none is named.
    void everyTrackIsKept_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("profile");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QString>("expected");
        const QString voices = "audio:aac:eng::default,audio:aac:deu:Commentary,";
        QTest::newRow("Matroska") << "voices.mkv" << 9 << qint64(0)
                                  << "video:h264," + voices +
                                         "subtitle:subrip:eng:,chapters:0.0,2.0";
        QTest::newRow("Matroska from 0:00:01")
            << "voices.mkv" << 9 << qint64(100)
            << "video:h264," + voices + "subtitle:subrip:eng:,chapters:0.0,1.0";
        // (MP4 shows its first subtitle track, when none is marked, as the default one.)
        QTest::newRow("MP4") << "voices.mkv" << 5 << qint64(0)
                             << "video:h264," + voices +
                                    "subtitle:mov_text:eng::default,chapters:0.0,2.0";
        QTest::newRow("WebM") << "voices.mkv" << 7 << qint64(0)
                              << "video:vp9,audio:opus:eng::default,audio:opus:deu:Commentary,"
                                 "subtitle:webvtt:eng:,chapters:0.0,2.0";
        QTest::newRow("with the file beside it")
            << "beside.mkv" << 9 << qint64(0)
            << "video:h264," + voices +
                   "subtitle:subrip:eng:,subtitle:subrip:fre:,chapters:0.0,2.0";
    }
    void everyTrackIsKept() {
        QFETCH(QString, file);
        QFETCH(int, profile);
        QFETCH(qint64, start);
        QFETCH(QString, expected);
        const Result r = convert(path(file), profile, "Video Options/Encoding Speed=Fast", start);
        QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
        QCOMPARE(r.note, file == "beside.mkv" ? QString("The subtitle file beside.de.srt cannot "
                                                        "be read; it is left out.")
                                              : QString());
        QCOMPARE(tracks(r.output).join(','), expected);
    }

    // 5.1 AC-3 stays six channels at "Same as source" (in Opus too) and becomes two when asked.
    void surroundChannels() {
        QStringList got;
        for (const auto& [profile, channel] :
             {std::pair{5, "Same as source"}, {5, "2"}, {8, "Same as source"}}) {
            const Result r = convert(path("surround.ts"), profile,
                                     QString("Audio Options/Audio Channel=") + channel);
            got << r.status +
                       QString(" %1").arg(
                           test::streamOf(test::probeMedia(r.output), "audio")["channels"].toInt());
        }
        QCOMPARE(got, (QStringList{"OK 6", "OK 2", "OK 6"}));
    }

    // Sound files convert to MP3 and M4A of their length, and a video profile refuses them
    // before any encoder starts.
    void soundFiles() {
        for (const auto& [file, profile] : {std::pair{"tone.flac", 11}, {"tone.mp3", 12}}) {
            const Result r = convert(path(file), profile);
            QVERIFY2(r.status == "OK", qPrintable(r.status + ": " + r.note));
            QCOMPARE(tracks(r.output).size(), 2); // one sound track, no chapters
            QVERIFY(qAbs(test::probeMedia(r.output)["format"]
                             .toObject()["duration"]
                             .toString()
                             .toDouble() -
                         3.0) < 0.2);
        }
        const Result r = convert(path("tone.flac"), 5);
        QCOMPARE(r.status + ": " + r.note,
                 QString("Fail: This file holds sound only, no video picture. Choose MP3 Audio or "
                         "AAC Audio under Profile: to convert it."));
        QVERIFY(r.output.isEmpty() && r.log.isEmpty());
    }

    // Subtitles drawn into the picture of a clip that starts a second in: half a second into
    // the output (1.5 s into the film, under the subtitle) the picture changes, past the
    // subtitle's end it does not; a name full of the filter graph's characters reaches it.
    void burnInDrawsIntoThePicture() {
        const QString file = path("it's [a]; b:c,d.mkv");
        const Result plain = convert(file, 5, {}, 100);
        const Result burnt = convert(file, 5, "Video Options/Burn In Subtitles=Chosen Track", 100);
        QVERIFY2(plain.status == "OK" && burnt.status == "OK", qPrintable(burnt.note));
        QVERIFY(differing(frameAt(plain.output, 0.5), frameAt(burnt.output, 0.5)) > 500);
        QVERIFY(differing(frameAt(plain.output, 2.8), frameAt(burnt.output, 2.8)) < 100);
        QVERIFY(!tracks(burnt.output).join(',').contains("subtitle"));
    }

    // An HDR picture becomes BT.709 for the 8-bit encoder, and the row says so; a damaged
    // source converts and its row says how many decoding errors the encoder met.
    void colourAndDamageAreSaid() {
        Result r = convert(path("hdr.mkv"), 5);
        const QJsonObject video = test::streamOf(test::probeMedia(r.output), "video");
        QCOMPARE(QStringList({r.status, video["color_primaries"].toString(),
                              video["color_transfer"].toString(), video["pix_fmt"].toString()}),
                 (QStringList{"OK", "bt709", "bt709", "yuv420p"}));
        QCOMPARE(r.note, QString("The source is HDR (BT.2020 PQ); its colours were tone-mapped "
                                 "to BT.709 for this 8-bit file."));
        r = convert(path("damaged.mp4"), 5);
        static const QRegularExpression said("^The source has damaged parts \\(([0-9]+) decoding "
                                             "errors?\\); the output may show them\\.$");
        QVERIFY2(r.status == "OK" && said.match(r.note).captured(1).toInt() > 0,
                 qPrintable(r.note));
    }
};

QTEST_MAIN(TestTracks)
#include "tst_tracks.moc"
