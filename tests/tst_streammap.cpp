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
const QString kUnreadable = "The subtitle file holiday.xx.srt cannot be read; it is left out.";
} // namespace

class TestStreamMap : public QObject {
    Q_OBJECT

private slots:
    // Each profile's streams for the film (as listed, in HDR, or with a voice the prober found
    // nothing in): fragments of the command and the start of what the row is told.
    void profilesMapTheFilm_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<TrackChoice>("tracks");
        QTest::addColumn<QString>("expected"); // fragments of the command, " | " between
        QTest::addColumn<QString>("notes");
        const auto row = [](const char* tag, int profile, const char* changes, TrackChoice tracks,
                            const QString& expected, const QString& notes) {
            QTest::newRow(tag) << profile << QString(changes) << tracks << expected << notes;
        };
        row("MP4: both voices, text subtitles as mov_text", 5, "", {},
            "-ss 10 -i \"/clips/holiday.avi\" -ss 10 -i \"/clips/holiday.es.srt\" -t 65 -map 0:0 "
            "-vf crop= | -map 0:2 -map 0:1 -c:a aac -b:a 128k -ar 48000 -disposition:a:0 default "
            "-metadata:s:a:0 handler_name=Commentary -disposition:a:1 0 -map 0:3 -c:s:0 mov_text "
            "-disposition:s:0 0 -map 1:0 -c:s:1 mov_text -disposition:s:1 0 -metadata:s:s:1 "
            "language=es -dn -movflags",
            kUnreadable + "\nMP4 files cannot hold these subtitles; left out: fre DVD (forced).");
        row("Matroska: every subtitle as it is, with the fonts", 9, "", {},
            " -map 0:3 -c:s:0 copy -disposition:s:0 0 -map 0:4 -c:s:1 copy -disposition:s:1 "
            "forced -map 1:0 -c:s:2 copy -disposition:s:2 0 -metadata:s:s:2 language=es -map 0:t? "
            "-dn -f matroska",
            kUnreadable);
        row("MP3: the default voice, no subtitles", 11, "", {},
            "-t 65 -vn -map 0:2 -c:a libmp3lame -b:a 192k -ar 44100 -disposition:a:0 default -sn "
            "-dn -f mp3",
            "MP3 files hold one sound track; kept deu AC-3 2.0 \u201CCommentary\u201D, left out: "
            "eng AAC 5.1.\nMP3 files hold no subtitles; left out: eng SRT, fre DVD (forced), es "
            "SRT (file holiday.es.srt).");
        row("MP3 of the 5.1 voice: mixed down", 11, "", picked(QList<int>{0}, QList<int>{}),
            " -vn -map 0:1 -c:a libmp3lame -b:a 192k -ar 44100 -ac:a:0 2 -disposition:a:0 "
            "default -sn",
            "MP3 files hold 2 sound channels at most; eng AAC 5.1 was mixed down to them.");
        row("nothing chosen", 9, "", picked(QList<int>{}, QList<int>{}),
            "-t 65 -map 0:0 -vf crop=trunc(iw/2)*2:trunc(ih/2)*2 -c:v libx264 | -an -sn -dn",
            kUnreadable);
        row("burn in the default, else the first", 5,
            "Video Options/Burn In Subtitles=Chosen Track", picked(std::nullopt, QList<int>{}),
            "-map 0:0 -vf setpts=PTS+10/TB,subtitles=filename=/clips/holiday.avi:si=0,setpts=PTS-"
            "10/TB,crop=trunc(iw/2)*2:trunc(ih/2)*2 -c:v | -sn",
            kUnreadable);
        row("burn in the file beside it, keep the rest", 9,
            "Video Options/Burn In Subtitles=Chosen Track", picked(std::nullopt, std::nullopt, 2),
            "-t 65 -map 0:0 -vf setpts=PTS+10/TB,subtitles=filename=/clips/holiday.es.srt,setpts="
            "PTS-10/TB,crop= | -map 0:3 -c:s:0 copy -disposition:s:0 0 -map 0:4 -c:s:1 copy "
            "-disposition:s:1 forced -map 0:t? -dn",
            kUnreadable);
        row("burn in the forced picture subtitle", 5, "Video Options/Burn In Subtitles=Forced Only",
            picked(std::nullopt, QList<int>{}),
            "-t 65 -filter_complex [0:0][0:4]overlay=eof_action=pass,crop=trunc(iw/2)*2:trunc(ih/"
            "2)*2[v] -map [v] -c:v libx264",
            kUnreadable);
        row("HDR: tone-mapped before the subtitle goes over it", 5,
            "Video Options/Burn In Subtitles=Forced Only", picked(std::nullopt, QList<int>{}),
            "-filter_complex [0:0]" + toneMapFilters() +
                "[pic];[pic][0:4]overlay=eof_action=pass,crop=trunc(iw/2)*2:trunc(ih/2)*2[v] | "
                "-preset medium -color_primaries bt709 -color_trc bt709 -colorspace bt709 -map 0:2",
            "The source is HDR (BT.2020 HLG); its colours were tone-mapped to BT.709 for this "
            "8-bit file.");
        row("a voice with no sound found in it", 9, "", {}, " -map 0:2 -c:a aac ",
            "No sound could be read from these tracks; left out: eng AAC.");
    }
    void profilesMapTheFilm() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(TrackChoice, tracks);
        QFETCH(QString, expected);
        QFETCH(QString, notes);
        StreamFacts facts = film();
        const QByteArray tag = QTest::currentDataTag();
        if (tag.startsWith("HDR"))
            facts.colour = {"bt2020", "arib-std-b67", "bt2020nc"};
        if (tag.startsWith("a voice with no sound"))
            facts.audio[0] = {1, "aac", 0, "", "eng", "", false};
        const Built built = build(profile, changes, facts, tracks);
        for (const QString& fragment : expected.split(" | "))
            QVERIFY2(built.command.contains(fragment),
                     qPrintable(built.command + "\n  lacks: " + fragment));
        QVERIFY2(notes.isEmpty() ? built.notes.isEmpty() : built.notes.startsWith(notes),
                 qPrintable(built.notes));
        // An SDR picture is never tone-mapped.
        QCOMPARE(built.command.contains("tonemap"), tag.startsWith("HDR"));
    }

    // The Flash entries write what they always wrote, whatever the file holds or the row chose.
    void flashIgnoresTheTracks() {
        StreamFacts hdr = film();
        hdr.colour = {"bt2020", "smpte2084", "bt2020nc"};
        for (const int profile : {2, 3}) {
            const Built plain = build(profile, "", StreamFacts());
            const Built full = build(profile, "Video Options/Burn In Subtitles=Chosen Track", hdr,
                                     picked(QList<int>{0}, QList<int>{1}, 0));
            QCOMPARE(full.command, plain.command);
            QCOMPARE(full.notes, QString());
        }
    }

    // Which codec a subtitle takes in each container ("-": left out).
    void subtitleCodecs() {
        QStringList got;
        for (const char* muxer : {"matroska", "mp4", "webm", "mp3"})
            for (const char* codec : {"subrip", "mov_text", "hdmv_pgs_subtitle", "dvb_teletext"})
                got << subtitleCodecFor(muxer, codec).value_or("-");
        QCOMPARE(got.join(' '), QString("copy srt copy - mov_text mov_text - - webvtt webvtt - - "
                                        "- - - -"));
    }

    // A path inside a filter graph: escaped for the option, then for the graph.
    void filterPaths() {
        QCOMPARE(filterPathValue("/v/a b.mkv"), QString("/v/a b.mkv"));
        QCOMPARE(filterPathValue("/v/it's:1\\.mkv"), QString("/v/it\\\\\\'s\\\\:1\\\\\\\\.mkv"));
        QCOMPARE(filterPathValue("/v/[a],b;c.mkv"), QString("/v/\\[a\\]\\,b\\;c.mkv"));
    }

    // Sound only goes to the sound-only profiles, and no sound never does.
    void rowChecksBeforeTheRun() {
        StreamFacts sound = film();
        sound.hasVideo = false;
        QCOMPARE(checkRowBeforeRun(profileAt(2), sound, false).value_or("").left(31),
                 QString("This file holds sound only, no "));
        QVERIFY(!checkRowBeforeRun(profileAt(11), sound, false));
        QVERIFY(checkRowBeforeRun(profileAt(12), film(), true));
        QVERIFY(!checkRowBeforeRun(profileAt(7), film(), true));
    }

    // The encoder's complaints about a damaged source, counted once each (repeats included),
    // and only after the output's description: a file name cannot add to them.
    void decodingErrors() {
        const QByteArray head = "Input #0, avi, from '/v/Error while decoding stream #0:0: x':\n";
        QCOMPARE(decodingErrorCount(head + "Stream mapping:\nframe=  10 time=00:00:01.00\r\n"), 0);
        QCOMPARE(decodingErrorCount(head + "Stream mapping:\n"
                                           "[h264 @ 0x5] error while decoding MB 1 12\n"
                                           "Error while decoding stream #0:1: Invalid data\n"
                                           "/v/a.mp4: corrupt decoded frame in stream 0\n"
                                           "frame=  20\rError while decoding stream #0:0: x\n"
                                           "    Last message repeated 4 times\n"
                                           "[aac @ 0x6] Input buffer exhausted\n"
                                           "    Last message repeated 2 times\n"),
                 7);
    }
};

QTEST_MAIN(TestStreamMap)
#include "tst_streammap.moc"
