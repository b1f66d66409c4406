#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/runchecks.h"
#include "convert/streammap.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/commandline.h"
#include "process/toollog.h"

#include <QtTest>

using namespace clipvane;

Q_DECLARE_METATYPE(clipvane::TrackChoice)

namespace {
// A film as the probe lists it: the picture (stream 0), English 5.1 AAC and the German
// commentary in stereo AC-3 marked default, an English SRT, a forced French DVD subtitle, a
// Spanish SRT file beside it and one beside it that cannot be read.
StreamFacts film() {
    StreamFacts f;
    f.listed = true;
    f.hasVideo = true;
    f.videoStream = 0;
    f.videoCodec = "h264";
    f.audio = {{1, "aac", 6, "5.1(side)", "eng", "", false},
               {2, "ac3", 2, "stereo", "deu", "Commentary", true}};
    f.subtitles = {{3, "subrip", false, "eng", "", false, false, "", ""},
                   {4, "dvd_subtitle", true, "fre", "", false, true, "", ""},
                   {-1, "subrip", false, "es", "", false, false, "/clips/holiday.es.srt", ""}};
    f.unreadableSubtitleFiles = {"/clips/holiday.xx.srt"};
    return f;
}

struct Built {
    QString command;
    QString notes;
};

// The command for holiday.avi from 0:00:10 to 0:01:15 with the profile as picked, the sheet's
// rows changed ("Category/Row=value;..."), the file's facts and the row's choice.
Built build(int profile, const QString& changes, const StreamFacts& facts,
            const TrackChoice& tracks = {}) {
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, profile);
    for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
        sheet.setValue(c.section('/', 0, 0), c.section('/', 1).section('=', 0, 0),
                       c.section('=', 1));
    const auto options = readEncoderOptions(sheet);
    if (const auto* error = std::get_if<EncoderCommandError>(&options))
        return {"<error: " + error->reason + ">", {}};
    EncoderInputs in;
    in.programFolder = "/opt/conv";
    in.inputPath = "/clips/holiday.avi";
    in.clipStart = parseClipTime("0:00:10");
    in.clipEnd = parseClipTime("0:01:15");
    in.profile = profileAt(profile);
    in.options = std::get<EncoderOptions>(options);
    in.outputFolder = "/out";
    in.streams = facts;
    in.tracks = tracks;
    const EncoderCommandResult r = buildEncoderCommand(in, [](const QString&) { return false; });
    if (const auto* error = std::get_if<EncoderCommandError>(&r))
        return {"<error: " + error->reason + ">", {}};
    const EncoderCommand& c = std::get<EncoderCommand>(r);
    return {c.command.text(), c.notes.join('\n')};
}

TrackChoice picked(std::optional<QList<int>> audio, std::optional<QList<int>> subtitles,
                   int burnIn = -1) {
    return TrackChoice{std::move(audio), std::move(subtitles), burnIn};
}
} // namespace

class TestStreamMap : public QObject {
    Q_OBJECT

private slots:
    // Each profile's streams for the film: the command's middle, from the inputs to the
    // container, and what the row is told.
    void profilesMapTheFilm_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<TrackChoice>("tracks");
        QTest::addColumn<QString>("expected"); // fragments of the command, " | " between
        QTest::addColumn<QString>("notes");
        const QString srtInput = "-ss 10 -i \"/clips/holiday.avi\" -ss 10 -i "
                                 "\"/clips/holiday.es.srt\" -t 65 -map 0:0 -vf crop=";
        const QString unreadable = "The subtitle file holiday.xx.srt cannot be read; it is left "
                                   "out.";
        QTest::newRow("MP4: both voices, the text subtitles as mov_text")
            << 5 << "" << TrackChoice()
            << srtInput + " | -map 0:2 -map 0:1 -c:a aac -b:a 128k -ar 48000 -disposition:a:0 "
                          "default -metadata:s:a:0 handler_name=Commentary -disposition:a:1 0 "
                          "-map 0:3 -c:s:0 mov_text -disposition:s:0 0 -map 1:0 -c:s:1 mov_text "
                          "-disposition:s:1 0 -metadata:s:s:1 language=es -dn -movflags"
            << unreadable + "\nMP4 files cannot hold these subtitles; left out: fre DVD "
                            "(forced).";
        QTest::newRow("WebM: Opus takes 5.1 in its own layout, WebVTT")
            << 7 << "" << TrackChoice()
            << " -map 0:2 -map 0:1 -c:a libopus -b:a 128k -ar 48000 -disposition:a:0 default "
               "-filter:a:1 aformat=channel_layouts=7.1|6.1|5.1|5.0|quad|3.0|stereo|mono "
               "-disposition:a:1 0 -map 0:3 -c:s:0 webvtt -disposition:s:0 0 -map 1:0 "
               "-c:s:1 webvtt"
            << unreadable + "\nWebM files cannot hold these subtitles; left out: fre DVD "
                            "(forced).";
        QTest::newRow("Matroska: every subtitle as it is, with the fonts")
            << 9 << "" << TrackChoice()
            << " -map 0:3 -c:s:0 copy -disposition:s:0 0 -map 0:4 -c:s:1 copy -disposition:s:1 "
               "forced -map 1:0 -c:s:2 copy -disposition:s:2 0 -metadata:s:s:2 language=es "
               "-map 0:t? -dn -f matroska"
            << unreadable;
        QTest::newRow("MP3: the default voice, no subtitles")
            << 11 << "" << TrackChoice()
            << "-t 65 -vn -map 0:2 -c:a libmp3lame -b:a 192k -ar 44100 -disposition:a:0 default "
               "-sn -dn -f mp3"
            << "MP3 files hold one sound track; kept deu AC-3 2.0 \u201CCommentary\u201D, left "
               "out: eng AAC 5.1.\nMP3 files hold no subtitles; left out: eng SRT, fre DVD "
               "(forced), es SRT (file holiday.es.srt).";
        QTest::newRow("MP3 of the 5.1 voice: mixed down to two channels")
            << 11 << "" << picked(QList<int>{0}, QList<int>{})
            << " -vn -map 0:1 -c:a libmp3lame -b:a 192k -ar 44100 -ac:a:0 2 -disposition:a:0 "
               "default -sn"
            << "MP3 files hold 2 sound channels at most; eng AAC 5.1 was mixed down to them.";
        QTest::newRow("M4A keeps the 5.1 voice's channels")
            << 12 << "" << picked(QList<int>{0}, QList<int>{})
            << " -vn -map 0:1 -c:a aac -b:a 192k -ar 44100 -disposition:a:0 default -sn -dn "
               "-movflags"
            << "";
        QTest::newRow("two channels asked for: all tracks mixed to them")
            << 5 << "Audio Options/Audio Channel=2" << picked(std::nullopt, QList<int>{})
            << " -map 0:2 -map 0:1 -c:a aac -b:a 128k -ar 48000 -ac 2 -disposition:a:0 default "
               "-metadata:s:a:0 handler_name=Commentary -disposition:a:1 0 -sn -dn"
            << unreadable;
        QTest::newRow("no voice, no subtitle chosen")
            << 9 << "" << picked(QList<int>{}, QList<int>{})
            << "-t 65 -map 0:0 -vf crop=trunc(iw/2)*2:trunc(ih/2)*2 -c:v libx264 | -an -sn -dn "
               "-f matroska"
            << unreadable;
        QTest::newRow("sound disabled") << 5 << "Audio Options/Disable Audio=Yes" << TrackChoice()
                                        << " -an -map 0:3 " << unreadable + "\nMP4 files";
        QTest::newRow("burn in the default, else the first: text")
            << 5 << "Video Options/Burn In Subtitles=Chosen Track"
            << picked(std::nullopt, QList<int>{})
            << "-map 0:0 -vf setpts=PTS+10/TB,subtitles=filename=/clips/holiday.avi:si=0,setpts"
               "=PTS-10/TB,crop=trunc(iw/2)*2:trunc(ih/2)*2 -c:v | -sn"
            << unreadable;
        QTest::newRow("burn in the file beside it, keep the rest")
            << 9 << "Video Options/Burn In Subtitles=Chosen Track"
            << picked(std::nullopt, std::nullopt, 2)
            << "-t 65 -map 0:0 -vf setpts=PTS+10/TB,subtitles=filename=/clips/holiday.es.srt,"
               "setpts=PTS-10/TB,crop= | -map 0:3 -c:s:0 copy -disposition:s:0 0 -map 0:4 -c:s:1 "
               "copy -disposition:s:1 forced -map 0:t? -dn"
            << unreadable;
        QTest::newRow("burn in the forced picture subtitle over the picture")
            << 5 << "Video Options/Burn In Subtitles=Forced Only"
            << picked(std::nullopt, QList<int>{})
            << "-t 65 -filter_complex [0:0][0:4]overlay=eof_action=pass,crop=trunc(iw/2)*2:"
               "trunc(ih/2)*2[v] -map [v] -c:v libx264"
            << unreadable;
        QTest::newRow("a track with no sound found in it is left out")
            << 9 << "" << TrackChoice() << " -map 0:2 -c:a aac "
            << "No sound could be read from these tracks; left out: eng AAC.";
        QTest::newRow("sound-only profiles draw nothing")
            << 12 << "Video Options/Burn In Subtitles=Chosen Track"
            << picked(std::nullopt, QList<int>{}) << "-t 65 -vn -map 0:2 "
            << "M4A files hold one sound track";
    }
    void profilesMapTheFilm() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(TrackChoice, tracks);
        QFETCH(QString, expected);
        QFETCH(QString, notes);
        StreamFacts facts = film();
        if (QByteArray(QTest::currentDataTag()).startsWith("a track with no sound"))
            facts.audio[0] = {1, "aac", 0, "", "eng", "", false};
        const Built built = build(profile, changes, facts, tracks);
        for (const QString& fragment : expected.split(" | "))
            QVERIFY2(built.command.contains(fragment),
                     qPrintable(built.command + "\n  lacks: " + fragment));
        QVERIFY2(notes.isEmpty() ? built.notes.isEmpty() : built.notes.startsWith(notes),
                 qPrintable(built.notes));
        // Every argument survives the command text.
        QVERIFY(splitCommandLine(built.command).contains("/clips/holiday.avi"));
    }

    // The Flash entries write what they always wrote, whatever the file holds.
    void flashIgnoresTheTracks_data() {
        QTest::addColumn<int>("profile");
        QTest::newRow("FLV") << 2;
        QTest::newRow("SWF") << 3;
    }
    void flashIgnoresTheTracks() {
        QFETCH(int, profile);
        StreamFacts hdr = film();
        hdr.colour = {"bt2020", "smpte2084", "bt2020nc"};
        const TrackChoice some = picked(QList<int>{0}, QList<int>{1}, 0);
        const Built plain = build(profile, "", StreamFacts());
        QCOMPARE(build(profile, "Video Options/Burn In Subtitles=Chosen Track", hdr, some).command,
                 plain.command);
        QCOMPARE(build(profile, "", hdr, some).notes, QString());
    }

    // An HDR picture is tone-mapped before anything is drawn on it, and tagged BT.709.
    void hdrIsToneMapped() {
        StreamFacts hdr = film();
        hdr.colour = {"bt2020", "arib-std-b67", "bt2020nc"};
        const Built built = build(5, "Video Options/Burn In Subtitles=Forced Only", hdr);
        QVERIFY2(built.command.contains(
                     "-filter_complex [0:0]" + toneMapFilters() +
                     "[pic];[pic][0:4]overlay=eof_action=pass,crop=trunc(iw/2)*2:trunc(ih/2)*2[v]"),
                 qPrintable(built.command));
        QVERIFY2(built.command.contains(" -preset medium -color_primaries bt709 -color_trc bt709 "
                                        "-colorspace bt709 -map 0:2"),
                 qPrintable(built.command));
        QVERIFY2(built.notes.startsWith("The source is HDR (BT.2020 HLG); its colours were "
                                        "tone-mapped to BT.709 for this 8-bit file."),
                 qPrintable(built.notes));
        // An SDR BT.2020 picture is left as it is.
        hdr.colour.transfer = "bt2020-10";
        QVERIFY(!build(5, "", hdr).command.contains("tonemap"));
    }

    // Which codec a subtitle takes in each container, or none.
    void subtitleCodecs_data() {
        QTest::addColumn<QString>("muxer");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("written"); // "-": left out
        const char* rows[][3] = {
            {"matroska", "subrip", "copy"},
            {"matroska", "ass", "copy"},
            {"matroska", "mov_text", "srt"},
            {"matroska", "hdmv_pgs_subtitle", "copy"},
            {"matroska", "dvb_teletext", "-"},
            {"mp4", "ass", "mov_text"},
            {"mp4", "webvtt", "mov_text"},
            {"mp4", "dvd_subtitle", "-"},
            {"webm", "subrip", "webvtt"},
            {"webm", "hdmv_pgs_subtitle", "-"},
            {"mp3", "subrip", "-"},
        };
        for (const auto& r : rows)
            QTest::addRow("%s %s", r[0], r[1]) << r[0] << r[1] << r[2];
    }
    void subtitleCodecs() {
        QFETCH(QString, muxer);
        QFETCH(QString, codec);
        QFETCH(QString, written);
        QCOMPARE(subtitleCodecFor(muxer, codec).value_or("-"), written);
    }

    // A path inside a filter graph: escaped for the option, then for the graph.
    void filterPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "/v/a b.mkv"
                               << "/v/a b.mkv";
        QTest::newRow("colon and quote") << "/v/it's:1.mkv"
                                         << "/v/it\\\\\\'s\\\\:1.mkv";
        QTest::newRow("graph characters") << "/v/[a],b;c.mkv"
                                          << "/v/\\[a\\]\\,b\\;c.mkv";
        QTest::newRow("backslash") << "/v/a\\b.mkv"
                                   << "/v/a\\\\\\\\b.mkv";
    }
    void filterPaths() {
        QFETCH(QString, path);
        QFETCH(QString, value);
        QCOMPARE(filterPathValue(path), value);
    }

    // Sound only goes to the sound-only profiles; no sound never does.
    void rowChecksBeforeTheRun_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("file"); // "film", "sound", "silent"
        QTest::addColumn<QString>("refusal");
        const QString soundOnly = "This file holds sound only, no video picture. Choose MP3 "
                                  "Audio or AAC Audio under Profile: to convert it.";
        const QString silent = "This file holds no sound, so there is nothing to write into a "
                               "sound-only file.";
        QTest::newRow("film to MP4") << 5 << "film"
                                     << "";
        QTest::newRow("sound to MP4") << 5 << "sound" << soundOnly;
        QTest::newRow("sound to FLV") << 2 << "sound" << soundOnly;
        QTest::newRow("sound to MP3") << 11 << "sound"
                                      << "";
        QTest::newRow("sound to M4A") << 12 << "sound"
                                      << "";
        QTest::newRow("silent film to M4A") << 12 << "silent" << silent;
        QTest::newRow("silent film to WebM") << 7 << "silent"
                                             << "";
    }
    void rowChecksBeforeTheRun() {
        QFETCH(int, profile);
        QFETCH(QString, file);
        QFETCH(QString, refusal);
        StreamFacts facts = film();
        if (file == "sound")
            facts.hasVideo = false;
        if (file == "silent")
            facts.audio.clear();
        QCOMPARE(checkRowBeforeRun(profileAt(profile), facts, file == "silent").value_or(""),
                 refusal);
    }

    // The encoder's complaints about a damaged source, counted once each (repeats included),
    // and only after the output's description: a file name cannot add to them.
    void decodingErrors_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("count");
        const QByteArray head = "Input #0, avi, from '/v/Error while decoding stream #0:0: x':\n"
                                "Stream mapping:\n";
        QTest::newRow("clean") << QByteArray(head + "frame=  10 fps=0.0 time=00:00:01.00\r\n") << 0;
        QTest::newRow("packets and frames")
            << QByteArray(head + "[h264 @ 0x5] error while decoding MB 1 12\n"
                                 "Error while decoding stream #0:1: Invalid data found when "
                                 "processing input\n"
                                 "/v/a.mp4: corrupt decoded frame in stream 0\n"
                                 "frame=  20 fps=0.0\rError while decoding stream #0:0: x\n"
                                 "    Last message repeated 4 times\n"
                                 "[aac @ 0x6] Input buffer exhausted\n"
                                 "    Last message repeated 2 times\n")
            << 7;
        QTest::newRow("before the output: the input's name") << head.mid(0, 60) << 0;
    }
    void decodingErrors() {
        QFETCH(QByteArray, log);
        QFETCH(int, count);
        QCOMPARE(decodingErrorCount(log), count);
    }
};

QTEST_MAIN(TestStreamMap)
#include "tst_streammap.moc"
