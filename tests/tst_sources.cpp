#include "sources/fileselect.h"
#include "sources/mediaprobe.h"
#include "sources/picturelook.h"
#include "sources/sourcelist.h"
#include "tests/support/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace clipvane;

namespace {
// The columns a file's probe fills (not the profile it is converted with).
QStringList row(const SourceList& list, int r) {
    QStringList out;
    for (int c = 0; c <= SourceList::VideoTime; ++c)
        out << list.textAt(r, c);
    return out;
}
} // namespace

class TestSources : public QObject {
    Q_OBJECT

    QTemporaryDir clips;
    QString clip;        // 640x480 MPEG-4 AVI with audio, 2 s
    QTemporaryDir names; // empty files the open dialog lists
    const QStringList sampleNames = {"a.avi",  "b.MKV",  "c.vro", "d.amv",     "e.m2ts",
                                     "f.wma",  "g.txt",  "noext", "h.avi.bak", "i.ts",
                                     "j.webm", "k.flac", "l.mp3"};

private slots:
    void initTestCase() {
        clip = clips.filePath("clip.avi");
        QVERIFY(test::makeStandardClip(clip, 2.0));
        for (const QString& name : sampleNames)
            QVERIFY(QFile(names.filePath(name)).open(QIODevice::WriteOnly));
    }

    void parse_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("row"); // Start End Size Format Video Time
        const QString std = "ID_VIDEO_WIDTH=640\r\nID_VIDEO_HEIGHT=480\r\nID_VIDEO_FORMAT="
                            "XVID\r\nID_LENGTH=65.00\r\n";
        QTest::newRow("typical") << std
                                 << QStringList{"0:00:00", "0:01:05", "640x480", "XVID", "0:01:05"};
        QTest::newRow("bare LF") << QString(std).replace("\r\n", "\n")
                                 << QStringList{"0:00:00", "0:01:05", "640x480", "XVID", "0:01:05"};
        QTest::newRow("90 minutes") << "ID_LENGTH=5400.00\n"
                                    << QStringList{"0:00:00", "1:30:00", "0x0", "", "1:30:00"};
        QTest::newRow("30 hours") << "ID_LENGTH=108000\n"
                                  << QStringList{"0:00:00", "30:00:00", "0x0", "", "30:00:00"};
        // Shown to the nearest second (the encoder takes the exact length).
        QTest::newRow("fraction to the nearest second")
            << "ID_LENGTH=4.04\n"
            << QStringList{"0:00:00", "0:00:04", "0x0", "", "0:00:04"};
        QTest::newRow("fraction up") << "ID_LENGTH=4.6\n"
                                     << QStringList{"0:00:00", "0:00:05", "0x0", "", "0:00:05"};
        QTest::newRow("shorter than half a second")
            << "ID_LENGTH=0.32\n"
            << QStringList{"0:00:00", "0:00:00.32", "0x0", "", "0:00:00.32"};
        QTest::newRow("whole stays") << "ID_LENGTH=4.00\n"
                                     << QStringList{"0:00:00", "0:00:04", "0x0", "", "0:00:04"};
        QTest::newRow("other case ignored") << "id_length=12\nID_Video_Width=3\n"
                                            << QStringList{"0:00:00", "", "0x0", "", ""};
        QTest::newRow("empty format") << "ID_VIDEO_FORMAT=\n"
                                      << QStringList{"0:00:00", "", "0x0", "", ""};
        QTest::newRow("value cut at =") << "ID_VIDEO_FORMAT=a=b\n"
                                        << QStringList{"0:00:00", "", "0x0", "a", ""};
        QTest::newRow("last wins")
            << "ID_LENGTH=10\nID_LENGTH=20\nID_VIDEO_FORMAT=a\nID_VIDEO_FORMAT=0x10000001\n"
            << QStringList{"0:00:00", "0:00:20", "0x0", "0x10000001", "0:00:20"};
        QTest::newRow("nothing") << "" << QStringList{"0:00:00", "", "0x0", "", ""};
        QTest::newRow("noise") << "MPlayer 1.5\nPlaying x.\n[cropdetect] crop=1:2\nA:  0.1 V: 0.1\r"
                               << QStringList{"0:00:00", "", "0x0", "", ""};
        QTest::newRow("non-numeric length")
            << "ID_LENGTH=abc\n"
            << QStringList{"0:00:00", "0:00:00", "0x0", "", "0:00:00"};
        QTest::newRow("bad width stops the probe")
            << "ID_LENGTH=5\nID_VIDEO_WIDTH=wide\nID_VIDEO_FORMAT=XVID\n"
            << QStringList{"", "0:00:05", "", "", "0:00:05"};
        QTest::newRow("status line glued by CR")
            << "V: 0.0\rID_LENGTH=3\n"
            << QStringList{"0:00:00", "0:00:03", "0x0", "", "0:00:03"};
    }
    void parse() {
        QFETCH(QString, output);
        QFETCH(QStringList, row);
        SourceList list;
        const auto id = list.append("/x/a.avi");
        applyIdentifyResult(list, id, parseIdentifyOutput(output));
        const QStringList got = ::row(list, 0);
        QCOMPARE(got.at(SourceList::FileName), QString("/x/a.avi"));
        QCOMPARE((QStringList{got[1], got[2], got[3], got[4], got[6]}), row);
        QCOMPARE(got.at(SourceList::Status), QString());
    }

    // The look at a picture: the bars as the extents over every picture seen, the fields
    // counted over every graph FFmpeg built; and the points looked at.
    void pictureLook_data() {
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("found"); // the item page's line for a 1920x1080 picture
        const QString out = "  Stream #0:0: Video: wrapped_avframe, yuv420p(tv, top coded first "
                            "(swapped)), 1920x1080 [SAR 1:1 DAR 16:9], q=2-31\n";
        const QString bars = "[Parsed_cropdetect_2 @ 0x1] x1:0 x2:1919 y1:150 y2:929 w:1920 "
                             "h:780 x:0 y:150 pts:1 t:0.04 crop=1920:780:0:150\n"
                             "[Parsed_cropdetect_2 @ 0x1] x1:0 x2:1919 y1:140 y2:939 w:1920 "
                             "h:800 x:0 y:140 pts:2 t:0.08 crop=1920:800:0:140\n";
        const QString none = "[Parsed_idet_1 @ 0x2] Multi frame detection: TFF:     0 BFF:     0 "
                             "Progressive:     0 Undetermined:     0\n";
        const auto fields = [](int tff, int bff, int progressive) {
            return QString("[Parsed_idet_1 @ 0x3] Multi frame detection: TFF: %1 BFF: %2 "
                           "Progressive: %3 Undetermined: 1\n")
                .arg(tff)
                .arg(bff)
                .arg(progressive);
        };
        QTest::newRow("letterboxed, progressive")
            << out + bars + fields(0, 0, 60)
            << "1920x1080 \u00b7 black bars: picture 1920:800:0:140 \u00b7 progressive";
        QTest::newRow("interlaced, after a rebuilt graph")
            << out + none + fields(0, 30, 2) << "1920x1080 \u00b7 interlaced";
        QTest::newRow("telecined film combs two in five")
            << out + fields(10, 0, 15) << "1920x1080 \u00b7 interlaced";
        QTest::newRow("a few combed pictures are not interlacing")
            << out + fields(3, 0, 4) << "1920x1080 \u00b7 progressive";
        QTest::newRow("whole picture") << out + "crop=1920:1080:0:0\n"
                                       << "1920x1080 \u00b7 no black bars";
        QTest::newRow("nothing said") << QString("Error opening input") << "1920x1080";
    }
    void pictureLook() {
        QFETCH(QString, messages);
        QFETCH(QString, found);
        const PictureLook look = parsePictureLook(messages);
        PictureFacts facts;
        facts.width = 1920;
        facts.height = 1080;
        facts.detectedCrop = look.crop;
        facts.interlaced = look.interlaced;
        QCOMPARE(pictureFactsText(facts), found);
        QCOMPARE(pictureLookPoints(4), QList<double>{0});
        QCOMPARE(pictureLookPoints(100), (QList<double>{10, 50, 85}));
    }

    // The prober's listing: tracks with their languages, titles and marks, chapters, the
    // picture's shape and colours; cover art is no picture. The tooltip's words come from it.
    void proberListing_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("shape"); // "aspect,seconds,sound only,default audio"
        const QByteArray video =
            R"j({"index":0,"codec_type":"video","codec_name":"h264","width":720,"height":576,
                "sample_aspect_ratio":"0:1","display_aspect_ratio":"0:1"})j";
        QTest::newRow("two voices and a subtitle")
            << QByteArray(R"j({"streams":[)j" + video + R"j(,
                {"index":1,"codec_type":"audio","codec_name":"aac","channels":6,
                 "channel_layout":"5.1(side)","disposition":{"default":0},
                 "tags":{"LANGUAGE":"eng","handler_name":"SoundHandler"}},
                {"index":2,"codec_type":"audio","codec_name":"ac3","channels":2,
                 "channel_layout":"stereo","disposition":{"default":1},
                 "tags":{"language":"deu","title":"Commentary"}},
                {"index":3,"codec_type":"subtitle","codec_name":"subrip",
                 "disposition":{"default":0,"forced":1},"tags":{"language":"und"}}],
                "chapters":[{"start_time":"0.000000","end_time":"2.5","tags":{"title":"A"}},
                            {"start_time":"2.5","end_time":"4.0"}],
                "format":{"duration":"4.023000"}})j")
            << QString("Audio: 2 tracks \u2014 eng AAC 5.1, deu AC-3 2.0 \u201CCommentary\u201D; "
                       "Subtitles: SRT (forced); Chapters: 2")
            << "1.25,4.023,0,1";
        QTest::newRow("MP4 title as the handler's name, unknown channels")
            << QByteArray(R"j({"streams":[{"index":0,"codec_type":"audio","codec_name":"mp3",
                "channels":5,"channel_layout":"unknown",
                "tags":{"handler_name":"Director"}}],"format":{"duration":"N/A"}})j")
            << QString("Audio: MP3 5 ch \u201CDirector\u201D") << "0,-1,1,0";
        QTest::newRow("cover art is no picture")
            << QByteArray(R"j({"streams":[{"index":0,"codec_type":"audio","codec_name":"flac",
                "channels":2},{"index":1,"codec_type":"video","codec_name":"mjpeg","width":500,
                "height":500,"disposition":{"attached_pic":1}}],"format":{"duration":"3"}})j")
            << QString("Audio: FLAC 2.0") << "0,3,1,0";
        QTest::newRow("not a listing") << QByteArray("[mov @ 0x1] moov atom not found") << ""
                                       << "0,-1,0,-1";
    }
    void proberListing() {
        QFETCH(QByteArray, json);
        QFETCH(QString, summary);
        QFETCH(QString, shape);
        const ProberListing listing = parseProberListing(json);
        QCOMPARE(streamSummary(listing.facts), summary);
        const QString got = QString("%1,%2,%3,%4")
                                .arg(QString::number(listing.pictureAspect, 'g', 6))
                                .arg(listing.seconds.value_or(-1))
                                .arg(listing.facts.soundOnly())
                                .arg(listing.facts.defaultAudio());
        QCOMPARE(got, shape);
    }

    // MPlayer's numeric codes become the format's name; names it gives stay.
    void readableFormats() {
        QCOMPARE(readableFormat("0x10000002"), QString("MPEG-2"));
        QCOMPARE(readableFormat("0x10000009", "hevc"), QString("HEVC"));
        QCOMPARE(readableFormat("0x10000009"), QString("0x10000009"));
        QCOMPARE(readableFormat("XVID", "mpeg4"), QString("XVID"));
    }

    // NAME.srt and NAME.LANG.srt beside the source become tracks; a file that is no subtitle
    // file is named; other names are not looked at.
    void subtitleFilesBesideTheSource() {
        QTemporaryDir dir;
        const auto write = [&](const char* name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        const QByteArray srt = "1\n00:00:01,000 --> 00:00:02,000\nHi\n";
        write("my [clip].2010.mkv", "");
        write("my [clip].2010.srt", srt);
        write("my [clip].2010.en.srt", srt);
        write("my [clip].2010.deu.srt", srt + "\xe4\n"); // Latin-1, not UTF-8
        write("my [clip].2010.fr.srt", "not subtitles");
        write("my [clip].2010.commentary.srt", srt);
        write("my [clip].srt", srt);
        QStringList unreadable;
        QStringList got;
        for (const SubtitleTrack& t :
             subtitleFilesBeside(dir.filePath("my [clip].2010.mkv"), &unreadable))
            got << QFileInfo(t.file).fileName() + "|" + t.language + "|" + t.characterSet;
        QCOMPARE(got, (QStringList{"my [clip].2010.deu.srt|deu|CP1252",
                                   "my [clip].2010.en.srt|eng|", "my [clip].2010.srt||"}));
        QCOMPARE(unreadable, QStringList{dir.filePath("my [clip].2010.fr.srt")});
    }

    // What a row keeps: every track unless chosen; ticking all is no choice.
    void trackChoices() {
        QCOMPARE(keptTracks(std::nullopt, 3), (QList<int>{0, 1, 2}));
        QCOMPARE(keptTracks(QList<int>{2, 7, 0}, 3), (QList<int>{0, 2}));
        QCOMPARE(choiceOf({0, 1, 2}, 3), std::nullopt);
        QCOMPARE(choiceOf({}, 2), std::optional<QList<int>>(QList<int>{}));
        StreamFacts facts;
        facts.listed = true;
        facts.audio = {{1, "aac", 6, "", "eng", "", false}, {2, "aac", 2, "", "deu", "", false}};
        facts.subtitles = {{3, "subrip", false, "", "", false, false, "", ""}};
        QCOMPARE(keptTracksSummary(facts, {QList<int>{1}, QList<int>{}, -1}),
                 QString("Audio: 1 of 2 \u2014 deu AAC 2.0; Subtitles: none of 1"));
        QCOMPARE(keptTracksSummary(facts, {}),
                 QString("Audio: 2 tracks \u2014 eng AAC 5.1, deu AAC 2.0; Subtitles: SRT"));
        QCOMPARE(keptTracksSummary(StreamFacts(), {}), QString());
    }

    void identifyCommand() {
        QCOMPARE(identifyCommandLine("/opt/cv/", "/v/my clip.avi"),
                 QString("/opt/cv//mp.dll -identify -benchmark -nosound -vo null -vf cropdetect "
                         "-endpos 1 \"/v/my clip.avi\""));
        QCOMPARE(identifyCommandLine("/opt/c v/", "a.avi"),
                 QString("\"/opt/c v//mp.dll\" -identify -benchmark -nosound -vo null -vf "
                         "cropdetect -endpos 1 \"a.avi\""));
    }

    void probesRealFile() {
        test::ProgramFolder folder;
        SourceList list;
        test::addAndProbe(list, clip);
        QCOMPARE(row(list, 0),
                 (QStringList{clip, "0:00:00", "0:00:02", "640x480", "FMP4", "", "0:00:02"}));
    }

    void probesHostileNames_data() {
        QTest::addColumn<QString>("name");
        for (const QString& n : test::hostileNames())
            QTest::newRow(qPrintable(n)) << n;
    }
    void probesHostileNames() {
        QFETCH(QString, name);
        test::ProgramFolder folder;
        const QString path = clips.filePath(name);
        QFile::remove(path);
        QVERIFY(QFile::copy(clip, path));
        SourceList list;
        test::addAndProbe(list, path);
        QCOMPARE(list.textAt(0, SourceList::FileName), path);
        QCOMPARE(list.textAt(0, SourceList::Size), QString("640x480"));
        QCOMPARE(list.textAt(0, SourceList::VideoTime), QString("0:00:02"));
    }

    void failedProbes_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("text renamed avi") << "text";
        QTest::newRow("missing player tool") << "notool";
    }
    void failedProbes() {
        QFETCH(QString, kind);
        test::ProgramFolder folder;
        QString path = clips.filePath("nothing-here.avi");
        if (kind == "text") {
            path = clips.filePath("notes.avi");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a video\n");
        }
        if (kind == "notool")
            QFile::remove(folder.path() + "/mp.dll");
        SourceList list;
        test::addAndProbe(list, kind == "notool" ? clip : path);
        QCOMPARE(list.count(), 1);
        const QStringList r = row(list, 0);
        QCOMPARE((QStringList{r[1], r[2], r[3], r[4], r[5], r[6]}),
                 (QStringList{"0:00:00", "", "0x0", "", "", ""}));
    }

    void stalledProbeIsGivenUp() {
        test::ProgramFolder folder;
        const QString fifo = clips.filePath("stalled.avi");
        QVERIFY(QProcess::execute("mkfifo", {fifo}) == 0);
        SourceList list;
        QElapsedTimer clock;
        clock.start();
        test::addAndProbe(list, fifo, 1000);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(list.textAt(0, SourceList::Size), QString("0x0"));
        QFile::remove(fifo);
    }

    void audioOnlyFile() {
        test::ProgramFolder folder;
        const QString path = clips.filePath("tone.mp3");
        QVERIFY(test::makeClip(
            path, {"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100", "-t", "3"},
            {"-c:a", "libmp3lame"}));
        SourceList list;
        const auto id = test::addAndProbe(list, path);
        QCOMPARE(row(list, 0),
                 (QStringList{path, "0:00:00", "0:00:03", "sound only", "MP3", "", "0:00:03"}));
        QCOMPARE(list.note(id), QString());
        QVERIFY(list.streamFacts(id).soundOnly());
    }

    void rowRemovedDuringProbeStaysGone_data() {
        QTest::addColumn<bool>("clear");
        QTest::newRow("remove") << false;
        QTest::newRow("clear") << true;
    }
    void rowRemovedDuringProbeStaysGone() {
        QFETCH(bool, clear);
        test::ProgramFolder folder;
        SourceList list;
        list.append("/earlier.avi");
        // Remove the probing row while its tool runs; the event loop keeps running meanwhile.
        QTimer::singleShot(5, [&] {
            if (clear)
                list.clearAll();
            else
                list.removeAt(1);
        });
        test::addAndProbe(list, clip);
        QCOMPARE(list.count(), clear ? 0 : 1);
        if (!clear)
            QCOMPARE(row(list, 0), (QStringList{"/earlier.avi", "", "", "", "", "", ""}));
    }

    void rowIdsAreNeverReused() {
        SourceList list;
        const auto a = list.append("a");
        list.removeAt(0);
        const auto b = list.append("a");
        QVERIFY(a != b);
        list.setText(a, SourceList::Status, "OK");
        QCOMPARE(list.textAt(0, SourceList::Status), QString());
        list.append("a");
        QCOMPARE(list.count(), 2); // duplicates allowed
    }

    void columns() {
        QStringList captions;
        for (int c = 0; c < SourceList::ColumnCount; ++c)
            captions << SourceList::caption(c);
        QCOMPARE(captions, (QStringList{"File Name", "Start", "End", "Size", "Format", "Status",
                                        "Video Time", "Profile", "Estimate", "Quality"}));
        QVERIFY(SourceList::centred(SourceList::End) && SourceList::centred(SourceList::Size));
        QVERIFY(!SourceList::centred(SourceList::FileName) &&
                !SourceList::centred(SourceList::Status));
    }

    // The Quality column shows the score in three decimals, its tooltip the verdict in words
    // and the PSNR; it cannot be set as text, and a row without a score shows nothing.
    void qualityScore_data() {
        QTest::addColumn<double>("ssim");
        QTest::addColumn<double>("psnr");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("tip");
        QTest::newRow("excellent") << 0.9874 << 41.26 << "SSIM 0.987"
                                   << "Excellent*41.3 dB*";
        QTest::newRow("identical") << 1.0 << qInf() << "SSIM 1.000"
                                   << "Excellent*identical*";
        QTest::newRow("good") << 0.95 << 33.0 << "SSIM 0.950"
                              << "Good*33.0 dB*";
        QTest::newRow("poor") << 0.8123 << 24.04 << "SSIM 0.812"
                              << "Visible losses*24.0 dB*";
    }
    void qualityScore() {
        QFETCH(double, ssim);
        QFETCH(double, psnr);
        QFETCH(QString, shown);
        QFETCH(QString, tip);
        SourceList list;
        const auto id = list.append("/v/a.avi");
        list.setText(id, SourceList::Quality, "typed");
        QCOMPARE(list.textAt(0, SourceList::Quality), QString());
        QVERIFY(!list.data(list.index(0, SourceList::Quality), Qt::ToolTipRole).isValid());
        list.setScore(id, OutputScore{ssim, psnr});
        QCOMPARE(list.textAt(0, SourceList::Quality), shown);
        const QString tooltip =
            list.data(list.index(0, SourceList::Quality), Qt::ToolTipRole).toString();
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(tip),
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(tooltip)
                     .hasMatch(),
                 qPrintable(tooltip));
        // Only the Quality column's tip tells the score; the row keeps it whole.
        QVERIFY(!list.data(list.index(0, SourceList::Status), Qt::ToolTipRole)
                     .toString()
                     .contains("SSIM"));
        const SourceList::Item item = list.itemAt(0);
        QCOMPARE(item.score, std::optional<OutputScore>(OutputScore{ssim, psnr}));
        list.setScore(id, std::nullopt);
        QCOMPARE(list.textAt(0, SourceList::Quality), QString());
    }

    void selectedFiles_data() {
        QTest::addColumn<QStringList>("answer");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("cancelled") << QStringList{} << 0 << "" << QStringList{};
        QTest::newRow("one") << QStringList{"/v/a.avi"} << 1 << "/v/" << QStringList{"a.avi"};
        QTest::newRow("three in order") << QStringList{"/v/c.mp4", "/v/a.avi", "/v/b.mkv"} << 3
                                        << "/v/" << QStringList{"c.mp4", "a.avi", "b.mkv"};
        QTest::newRow("root") << QStringList{"/a.avi"} << 1 << "/" << QStringList{"a.avi"};
        QTest::newRow("other folder") << QStringList{"/v/a.avi", "/w/b.avi"} << 2 << "/v/"
                                      << QStringList{"a.avi", "../w/b.avi"};
    }
    void selectedFiles() {
        QFETCH(QStringList, answer);
        QFETCH(int, count);
        QFETCH(QString, folder);
        QFETCH(QStringList, names);
        const ChosenFiles info = splitChosenPaths(answer);
        QCOMPARE(info.names.size(), count);
        QCOMPARE(info.folder, folder);
        QCOMPARE(info.names, names);
    }

    void dropEndings_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        for (const char* ok :
             {"x.avi",  "X.AVI",  "a.mpg",  "a.mpeg", "a.wmv", "a.flv",  "a.asf", "a.mov", "a.qt",
              "a.QT",   "a.rm",   "a.rmvb", "a.mp4",  "a.3gp", "a.3g2",  "a.swf", "a.Swf", "a.mkv",
              "a.divx", "myfarm", "a.wma",  "a.m2ts", "a.m1v", "a.mpe",  "a.m2v", "a.ogm", "a.vro",
              "a.dr",   "a.amv",  "a.ts",   "a.MTS",  "a.m4v", "a.webm", "a.ogv", "a.vob", "a.mxf",
              "a.mp3",  "a.flac", "a.wav",  "a.m4a",  "a.aac", "a.ogg",  "a.opus"})
            QTest::newRow(ok) << QString(ok) << true;
        // The endings added later need their dot: "results" is no transport stream.
        for (const char* no : {"y.txt", "", "avi.bak", "results", "a.tsx", "mywav", "a.srt"})
            QTest::newRow(no[0] ? no : "empty") << QString(no) << false;
    }
    void dropEndings() {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        QCOMPARE(matchesDropEnding(path), accepted);
    }

    // A mixed drop: every name that is refused, in one message, the first few by name.
    void refusedDropsAreNamedOnce() {
        QTemporaryDir dir;
        const QString folder = dir.filePath("film.mkv"); // a folder, whatever its name
        QVERIFY(QDir().mkdir(folder));
        const QStringList refused = refusedDrops(
            {"/v/x.avi", "/v/y.txt", folder, "https://a/b.mp4", "/v/z.flac", "/v/notes.doc"});
        QCOMPARE(refused, (QStringList{"/v/y.txt", folder, "https://a/b.mp4", "/v/notes.doc"}));
        QCOMPARE(refusedDropsMessage(refused),
                 QString("Only Video files are allowed!\n\nNot added:\ny.txt\nfilm.mkv\nb.mp4\n"
                         "notes.doc"));
        QVERIFY(refusedDropsMessage(QStringList(13, "/v/x.txt")).endsWith("x.txt\nand 3 more"));
    }

    // The command line: files named like Qt's options are files when they exist, "--" ends
    // the options, the rest of "-..." is Qt's, and a name that is not UTF-8 is told apart.
    void programArguments_data() {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<QList<QByteArray>>("forQt");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("badNames");
        using Args = QList<QByteArray>;
        QTest::newRow("plain") << Args{"cv", "a.avi"} << Args{"cv"} << QStringList{"a.avi"}
                               << QStringList{};
        QTest::newRow("Qt's options stay Qt's")
            << Args{"cv", "-stylesheet", "s.qss", "a.avi", "-nograb"}
            << Args{"cv", "-stylesheet", "s.qss", "-nograb"} << QStringList{"a.avi"}
            << QStringList{};
        QTest::newRow("existing files named like options")
            << Args{"cv", "-reverse", "-style", "b.avi"} << Args{"cv"}
            << QStringList{"-reverse", "-style", "b.avi"} << QStringList{};
        QTest::newRow("after --, all files") << Args{"cv", "--", "-nograb", "--"} << Args{"cv"}
                                             << QStringList{"-nograb", "--"} << QStringList{};
        QTest::newRow("not UTF-8")
            << Args{"cv", "bad\xff.avi", "a.avi"} << Args{"cv"} << QStringList{"a.avi"}
            << QStringList{QString("bad") + QChar::ReplacementCharacter + ".avi"};
    }
    void programArguments() {
        QFETCH(QList<QByteArray>, args);
        QFETCH(QList<QByteArray>, forQt);
        QFETCH(QStringList, files);
        QFETCH(QStringList, badNames);
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const char* name : {"-reverse", "-style"})
            QFile(name).open(QIODevice::WriteOnly);
        const ProgramArguments split = splitProgramArguments(args);
        QDir::setCurrent(before);
        QCOMPARE(split.forQt, forQt);
        QCOMPARE(split.files, files);
        QCOMPARE(split.badNames, badNames);
    }

    // The open dialog's filters: each reads exactly as in the table and lists these names.
    // A QFileDialog set up as the program's shows and applies them.
    void dialogFilters_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("all supported")
            << 0 << QStringList{"a.avi", "b.MKV", "c.vro",  "d.amv",  "e.m2ts",
                                "f.wma", "i.ts",  "j.webm", "k.flac", "l.mp3"};
        QTest::newRow("windows media") << 1 << QStringList{"a.avi", "f.wma"};
        QTest::newRow("dvd-vr") << 11 << QStringList{"c.vro"};
        QTest::newRow("sound files") << 13 << QStringList{"f.wma", "k.flac", "l.mp3"};
        QTest::newRow("all files, dotless too") << 14 << sampleNames;
    }
    void dialogFilters() {
        QFETCH(int, filter);
        QFETCH(QStringList, listed);
        listed.sort();
        QStringList descriptions, texts;
        for (const FilterEntry& f : openDialogFilters())
            descriptions << f.description;
        const QString nameFilter = openDialogNameFilters().at(filter);
        QFileDialog dialog(nullptr, QString(), names.path());
        dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(openDialogNameFilters());
        dialog.selectNameFilter(nameFilter);
        const auto* combo = dialog.findChild<QComboBox*>("fileTypeCombo");
        const auto* view = dialog.findChild<QListView*>("listView");
        QVERIFY(combo && view);
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        const auto shown = [view] {
            QStringList out;
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                out << view->model()->index(r, 0, view->rootIndex()).data().toString();
            out.sort();
            return out;
        };
        QTRY_COMPARE(shown(), listed);
        QCOMPARE(texts, descriptions);
    }

    void dialogStartFolder() {
        QCOMPARE(openDialogStartFolder(names.path()), names.path());
        for (const QString& fallback : {QString(), names.filePath("gone"), clip})
            QCOMPARE(openDialogStartFolder(fallback), QDir::homePath());
    }
};

QTEST_MAIN(TestSources)
#include "tst_sources.moc"
