#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/encoderprogress.h"
#include "convert/outputcheck.h"
#include "convert/outputfiles.h"
#include "convert/runchecks.h"
#include "convert/runestimate.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/commandline.h"
#include "process/toollog.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <unistd.h>

using namespace clipvane;

namespace {
// Sheet changes "Category/Row=value;..." on top of what a pick of the profile leaves.
void changeSheet(OptionSheet& sheet, const QString& changes) {
    for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
        QVERIFY2(sheet.setValue(c.section('/', 0, 0), c.section('/', 1).section('=', 0, 0),
                                c.section('=', 1)),
                 qPrintable(c));
}

// The inputs of the worked example: holiday.avi from 0:00:10 to 0:01:15 as Flash Video
// (320x240 at 512 kbit/s and 25 pictures a second; MP3 at 64 kbit/s, 44100 Hz, 2 channels),
// two threads, into /out. The options come from the sheet as a pick leaves it, changed.
std::variant<EncoderInputs, EncoderCommandError> inputs(int profile = 2,
                                                        const QString& changes = {}) {
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, profile);
    changeSheet(sheet, changes);
    const auto options = readEncoderOptions(sheet);
    if (const auto* error = std::get_if<EncoderCommandError>(&options))
        return *error;
    EncoderInputs in;
    in.programFolder = "/opt/conv";
    in.inputPath = "/clips/holiday.avi";
    in.clipStart = parseClipTime("0:00:10");
    in.clipEnd = parseClipTime("0:01:15");
    in.profile = profileAt(profile);
    in.options = std::get<EncoderOptions>(options);
    in.outputFolder = "/out";
    in.overwrite = false;
    in.threads = 2;
    return in;
}

EncoderInputs example(int profile = 2, const QString& changes = {}) {
    return std::get<EncoderInputs>(inputs(profile, changes));
}

// The command, or "<error: why>" as its text.
struct Built {
    QString commandLine;
    QString outputPath;
    QString encodePath;
    qint64 clipSeconds = 0;
    QString batchConflict;
    double clipLength = 0;
};

Built build(const EncoderInputs& in, const QSet<QString>& existing = {}) {
    const EncoderCommandResult r =
        buildEncoderCommand(in, [&](const QString& p) { return existing.contains(p); });
    if (const auto* error = std::get_if<EncoderCommandError>(&r))
        return Built{"<error: " + error->reason + ">", {}, {}, 0, {}, 0};
    const EncoderCommand& c = std::get<EncoderCommand>(r);
    // The text is what the log shows; the tool starts from the arguments, which it splits to.
    if (splitCommandLine(c.command.text()) != c.command.arguments())
        return Built{"<error: the text does not split to the arguments>", {}, {}, 0, {}, 0};
    return Built{c.command.text(), c.outputPath,    c.encodePath,
                 c.clipSeconds,    c.batchConflict, c.clipLength};
}
} // namespace

class TestEncoderCommand : public QObject {
    Q_OBJECT
private slots:
    void fullExample() {
        const Built c = build(example());
        QCOMPARE(
            c.commandLine,
            QString("\"/opt/conv/fp.dll\" -i \"/clips/holiday.avi\"  -ab 64000  -ac 2 -ar 44100 -b "
                    "512000 -r 25"
                    " -ss 10 -t 65 -s 320x240 -acodec libmp3lame -y -threads  2 "
                    "\"/out/.holiday.partial.flv\""));
        // The encoder writes a hidden file beside the output, which takes its name when good.
        QCOMPARE(c.outputPath, QString("/out/holiday.flv"));
        QCOMPARE(c.encodePath, QString("/out/.holiday.partial.flv"));
        QCOMPARE(splitCommandLine(c.commandLine), (QStringList{"/opt/conv/fp.dll",
                                                               "-i",
                                                               "/clips/holiday.avi",
                                                               "-ab",
                                                               "64000",
                                                               "-ac",
                                                               "2",
                                                               "-ar",
                                                               "44100",
                                                               "-b",
                                                               "512000",
                                                               "-r",
                                                               "25",
                                                               "-ss",
                                                               "10",
                                                               "-t",
                                                               "65",
                                                               "-s",
                                                               "320x240",
                                                               "-acodec",
                                                               "libmp3lame",
                                                               "-y",
                                                               "-threads",
                                                               "2",
                                                               "/out/.holiday.partial.flv"}));
    }

    void variations_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expectedTail"); // text from " -acodec" on, or a fragment
        QTest::newRow("disable audio")
            << "Audio Options/Disable Audio"
            << "Yes"
            << " -acodec libmp3lame -an  -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("no threads") << "threads"
                                    << "0"
                                    << " -acodec libmp3lame -y \"/out/.holiday.partial.flv\"";
        QTest::newRow("overwrite: the same command")
            << "overwrite"
            << "1"
            << " -acodec libmp3lame -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("ogg") << "Audio Options/Audio Codec"
                             << "ogg"
                             << " -acodec vorbis -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("wav") << "Audio Options/Audio Codec"
                             << "wav"
                             << " -acodec pcm_s16le -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("amr_nb") << "Audio Options/Audio Codec"
                                << "amr_nb"
                                << " -acodec aac -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("unknown codec passes")
            << "Audio Options/Audio Codec"
            << "opus"
            << " -acodec opus -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("case matters")
            << "Audio Options/Audio Codec"
            << "MP3"
            << " -acodec MP3 -y -threads  2 \"/out/.holiday.partial.flv\"";
        QTest::newRow("auto framerate") << "Video Options/Video Framerate"
                                        << "Auto"
                                        << "000 -r 25 -ss";
        QTest::newRow("29.97 passes") << "Video Options/Video Framerate"
                                      << "29.97"
                                      << "000 -r 29.97 -ss";
        QTest::newRow("start zero") << "clipStart"
                                    << "0:00:00"
                                    << " -ss 0 -t 75 ";
        QTest::newRow("half kbit rounds to even") << "Audio Options/Audio Bitrate"
                                                  << "64.5"
                                                  << "  -ab 64000  -ac";
        // Truncation gives 63 here and halves away from zero 65 above: only halves to even
        // passes both rows.
        QTest::newRow("half kbit rounds up to even") << "Audio Options/Audio Bitrate"
                                                     << "63.5"
                                                     << "  -ab 64000  -ac";
        QTest::newRow("mono") << "Audio Options/Audio Channel"
                              << "1"
                              << "000  -ac 1 -ar";
        QTest::newRow("swf profile") << "profile"
                                     << "3"
                                     << " \"/out/.holiday.partial.swf\"";
        QTest::newRow("folder slash kept") << "outputFolder"
                                           << "/out/"
                                           << " \"/out//.holiday.partial.flv\"";
        QTest::newRow("negative threads mean none")
            << "threads"
            << "-2"
            << " -acodec libmp3lame -y \"/out/.holiday.partial.flv\"";
        QTest::newRow("dotted name keeps all but last extension")
            << "inputPath"
            << "/c/holiday.2010.avi"
            << " \"/out/.holiday.2010.partial.flv\"";
        QTest::newRow("name without dot used whole") << "inputPath"
                                                     << "/c/holiday"
                                                     << " \"/out/.holiday.partial.flv\"";
        QTest::newRow("hidden file") << "inputPath"
                                     << "/c/.avi"
                                     << " \"/out/..avi.partial.flv\"";
        QTest::newRow("dot in folder only") << "inputPath"
                                            << "/c.d/clip"
                                            << " \"/out/.clip.partial.flv\"";
    }
    void variations() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, expectedTail);
        // A "Category/Row" field is a value of the option sheet.
        EncoderInputs in = field.contains('/')  ? example(2, field + "=" + value)
                           : field == "profile" ? example(value.toInt())
                                                : example();
        if (field == "threads")
            in.threads = value.toInt();
        else if (field == "overwrite")
            in.overwrite = value == "1";
        else if (field == "clipStart")
            in.clipStart = parseClipTime(value);
        else if (field == "outputFolder")
            in.outputFolder = value;
        else if (field == "inputPath")
            in.inputPath = value;
        const QString cmd = build(in).commandLine;
        QVERIFY2(cmd.contains(expectedTail), qPrintable(cmd));
        if (expectedTail.endsWith('"'))
            QVERIFY2(cmd.endsWith(expectedTail), qPrintable(cmd));
    }

    // Clip times to the hundredth reach the encoder as they are; a clip that runs to the file's
    // end gets the exact length, not the rounded one the row shows.
    void clipTimesReachTheEncoder_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<double>("exactLength"); // the file's; Video Time shows 0:00:10
        QTest::addColumn<QString>("times");
        QTest::newRow("whole seconds") << "0:00:02"
                                       << "0:00:07" << 10.04 << " -ss 2 -t 5 ";
        QTest::newRow("hundredths") << "0:00:01.50"
                                    << "0:00:03.25" << 10.04 << " -ss 1.5 -t 1.75 ";
        QTest::newRow("untrimmed") << "0:00:00"
                                   << "0:00:10" << 10.04 << " -ss 0 -t 10.04 ";
        QTest::newRow("to the end from 1.5") << "0:00:01.50"
                                             << "0:00:10" << 10.04 << " -ss 1.5 -t 8.54 ";
        QTest::newRow("length unknown") << "0:00:00"
                                        << "0:00:10" << 0.0 << " -ss 0 -t 10 ";
    }
    void clipTimesReachTheEncoder() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(double, exactLength);
        QFETCH(QString, times);
        EncoderInputs in = example();
        in.clipStart = parseClipTime(start);
        in.clipEnd = parseClipTime(end);
        in.exactLength = exactLength;
        const Built c = build(in);
        QVERIFY2(c.commandLine.contains(times), qPrintable(c.commandLine));
        QCOMPARE(c.clipSeconds, qint64(std::ceil(c.clipLength - 1e-9)));
    }

    void existingFiles_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("output");
        QTest::newRow("free") << false << QStringList{} << "/out/holiday.flv";
        QTest::newRow("taken") << false << QStringList{"/out/holiday.flv"}
                               << "/out/holiday_New.flv";
        QTest::newRow("twice taken")
            << false << QStringList{"/out/holiday.flv", "/out/holiday_New.flv"}
            << "/out/holiday_New_New.flv";
        QTest::newRow("overwrite keeps name")
            << true << QStringList{"/out/holiday.flv"} << "/out/holiday.flv";
        // Another window or program is writing the name: it is taken, whatever the settings.
        for (const bool overwrite : {false, true})
            QTest::addRow("being written elsewhere, overwrite %d", overwrite)
                << overwrite << QStringList{"/out/holiday.flv", "/out/.holiday.partial.flv"}
                << "/out/holiday_New.flv";
    }
    void existingFiles() {
        QFETCH(bool, overwrite);
        QFETCH(QStringList, existing);
        QFETCH(QString, output);
        EncoderInputs in = example();
        in.overwrite = overwrite;
        const Built c = build(in, QSet<QString>(existing.begin(), existing.end()));
        QCOMPARE(c.outputPath, output);
        QCOMPARE(c.encodePath, partialPath(output));
        QVERIFY(c.commandLine.endsWith(" -y -threads  2 \"" + partialPath(output) + "\""));
    }

    void earlierOutputsOfTheBatchAreNeverOverwritten_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("output");
        QTest::newRow("overwrite on, written by the batch")
            << true << QStringList{"/out/holiday.flv"} << QStringList{"/out/holiday.flv"}
            << "/out/holiday_New.flv";
        QTest::newRow("overwrite on, older _New file kept")
            << true << QStringList{"/out/holiday.flv"}
            << QStringList{"/out/holiday.flv", "/out/holiday_New.flv"}
            << "/out/holiday_New_New.flv";
        QTest::newRow("overwrite on, only an older file")
            << true << QStringList{} << QStringList{"/out/holiday.flv"} << "/out/holiday.flv";
        QTest::newRow("new names, written _New too")
            << false << QStringList{"/out/holiday.flv", "/out/holiday_New.flv"}
            << QStringList{"/out/holiday.flv", "/out/holiday_New.flv"}
            << "/out/holiday_New_New.flv";
    }
    void earlierOutputsOfTheBatchAreNeverOverwritten() {
        QFETCH(bool, overwrite);
        QFETCH(QStringList, written);
        QFETCH(QStringList, existing);
        QFETCH(QString, output);
        EncoderInputs in = example();
        in.overwrite = overwrite;
        in.writtenByBatch = written;
        const Built c = build(in, QSet<QString>(existing.begin(), existing.end()));
        QCOMPARE(c.outputPath, output);
        QCOMPARE(c.batchConflict,
                 written.contains("/out/holiday.flv") ? QString("/out/holiday.flv") : QString());
        QCOMPARE(c.clipSeconds, 65);
    }

    void namesStayWithinTheFileSystemsLimit() {
        EncoderInputs in = example();
        in.inputPath = "/c/" + QString(238, 'a') + ".avi";
        QSet<QString> existing;
        QStringList outputs;
        for (int i = 0; i < 6; ++i) {
            const Built c = build(in, existing);
            // The hidden name it is written under first must fit too.
            QVERIFY2(QFile::encodeName(QFileInfo(c.encodePath).fileName()).size() <= 255,
                     qPrintable(c.encodePath));
            QVERIFY(!existing.contains(c.outputPath));
            existing.insert(c.outputPath);
            outputs << QFileInfo(c.outputPath).fileName().right(14);
        }
        QCOMPARE(outputs, (QStringList{"aaaaaaaaaa.flv", "aaaaaa_New.flv", "aaaaa_New2.flv",
                                       "aaaaa_New3.flv", "aaaaa_New4.flv", "aaaaa_New5.flv"}));
    }

    void dottedNameNewLoop() {
        EncoderInputs in = example();
        in.inputPath = "/c/holiday.2010.avi";
        QCOMPARE(build(in, {"/out/holiday.2010.flv", "/out/holiday.2010_New.flv"}).outputPath,
                 QString("/out/holiday.2010_New_New.flv"));
    }

    void overwriteNeverTargetsTheInput() {
        QTemporaryDir dir;
        QFile input(dir.filePath("clip.flv"));
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.close();
        EncoderInputs in = example();
        in.inputPath = dir.filePath("clip.flv");
        in.outputFolder = dir.path() + "/"; // the doubled slash must not hide the match
        in.overwrite = true;
        const Built c = build(in);
        QCOMPARE(c.outputPath, dir.path() + "//clip_New.flv");
        QVERIFY(c.commandLine.contains(" -y"));

        // A hard link to the input is the input, whatever its path.
        QTemporaryDir out;
        QCOMPARE(::link(QFile::encodeName(in.inputPath).constData(),
                        QFile::encodeName(out.filePath("clip.flv")).constData()),
                 0);
        in.outputFolder = out.path();
        QCOMPARE(build(in).outputPath, out.path() + "/clip_New.flv");
    }

    void hostileNamesSurviveTheCommandLine() {
        EncoderInputs in = example();
        for (const QString& name : {QString("/c/a \"b\" $x;y.avi"), QString("/c/-dash\\\".avi"),
                                    QString("/c/new\nline.avi")}) {
            in.inputPath = name;
            const Built c = build(in);
            const QStringList args = splitCommandLine(c.commandLine);
            QCOMPARE(args.at(2), name);
            QCOMPARE(args.last(), c.encodePath);
        }
    }

    void failures_data() {
        QTest::addColumn<QString>("field"); // "Category/Row" is a value of the option sheet
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        const QString noProfile = "No output profile is selected.";
        const QString noLength = "Clipvane could not read the length of this file";
        QTest::newRow("header profile") << "profile"
                                        << "1" << noProfile;
        QTest::newRow("no profile") << "profile"
                                    << "0" << noProfile;
        QTest::newRow("bitrate not a number") << "Audio Options/Audio Bitrate"
                                              << "lots"
                                              << "Audio Bitrate is not a number: lots";
        QTest::newRow("channels not a number") << "Audio Options/Audio Channel"
                                               << ""
                                               << "Audio Channel is not a number";
        QTest::newRow("sample rate not a number") << "Audio Options/Sample Rate"
                                                  << "44.1k"
                                                  << "Sample Rate is not a number: 44.1k";
        QTest::newRow("video bitrate not a number") << "Video Options/Video Bitrate"
                                                    << "fast"
                                                    << "Video Bitrate is not a number: fast";
        QTest::newRow("frame rate not a number") << "Video Options/Video Framerate"
                                                 << "0"
                                                 << "Video Framerate is not a number: 0";
        QTest::newRow("size not a size") << "Video Options/Video Size"
                                         << "big"
                                         << "Video Size is not a size of two even numbers";
        QTest::newRow("start unknown") << "clipStart"
                                       << "" << noLength;
        QTest::newRow("end unknown") << "clipEnd"
                                     << "" << noLength;
        QTest::newRow("length read as zero") << "clipEnd"
                                             << "0:00:00" << noLength;
        QTest::newRow("start equals end") << "clipStart"
                                          << "0:01:15"
                                          << "The clip is empty: its end 0:01:15 is not after "
                                             "its start 0:01:15.";
        QTest::newRow("no output folder") << "outputFolder"
                                          << ""
                                          << "No output folder is set.";
        QTest::newRow("crop not a window") << "Video Options/Crop"
                                           << "half"
                                           << "Crop is not None, Automatic or a window such as "
                                              "1920:800:0:140: half";
        QTest::newRow("incomplete sheet") << "missing row"
                                          << ""
                                          << "The option sheet is incomplete.";
    }
    void failures() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        std::variant<EncoderInputs, EncoderCommandError> made =
            field.contains('/') ? inputs(2, field + "=" + value) : inputs();
        if (field == "missing row")
            made = std::get<EncoderCommandError>(readEncoderOptions(OptionSheet()));
        if (auto* in = std::get_if<EncoderInputs>(&made)) {
            if (field == "profile")
                in->profile = profileAt(value.toInt());
            if (field == "clipStart")
                in->clipStart = parseClipTime(value);
            if (field == "clipEnd")
                in->clipEnd = parseClipTime(value);
            if (field == "outputFolder")
                in->outputFolder = value;
            const EncoderCommandResult r = buildEncoderCommand(*in);
            QVERIFY(std::holds_alternative<EncoderCommandError>(r));
            made = std::get<EncoderCommandError>(r);
        }
        const QString said = std::get<EncoderCommandError>(made).reason;
        QVERIFY2(said.startsWith(reason), qPrintable(said));
    }

    // The profiles of today's formats, as a pick leaves the sheet with rows changed: the command,
    // or what is refused before a run.
    void todaysFormatCommands_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");  // "Category/Row=value;..."
        QTest::addColumn<QString>("expected"); // a fragment (a tail when it ends in a quote),
                                               // or "refused:" and the message
        const auto row = [](const char* tag, int profile, const char* changes, const char* text) {
            QTest::newRow(tag) << profile << QString(changes) << QString(text);
        };
        row("H.264 as picked", 5, "",
            "\"/opt/conv/fp.dll\" -ss 10 -i \"/clips/holiday.avi\" -t 65 -vf crop=trunc(iw/2)*2:"
            "trunc(ih/2)*2 -c:v libx264 -pix_fmt yuv420p -crf 23 -maxrate 10000k -bufsize 20000k "
            "-preset medium -c:a aac -b:a "
            "128k -ar 48000 -sn -dn -movflags +faststart -f mp4 -y -threads  2 "
            "\"/out/.holiday.partial.mp4\"");
        row("H.265", 6, "",
            " -crf 28 -maxrate 7000k -bufsize 14000k -preset medium -tag:v hvc1 -c:a");
        row("VP9", 7, "",
            " -c:v libvpx-vp9 -pix_fmt yuv420p -crf 31 -b:v 7000k -deadline good -cpu-used 2 "
            "-row-mt "
            "1 -c:a libopus -b:a 128k -ar 48000 -sn -dn -f webm -y -threads  2 "
            "\"/out/.holiday.partial.webm\"");
        row("AV1", 8, "",
            " -c:v libsvtav1 -pix_fmt yuv420p -crf 35 -svtav1-params mbr=5500 -preset 8");
        row("Matroska", 9, "", " -sn -dn -f matroska -y");
        row("MP3", 11, "",
            " -t 65 -vn -c:a libmp3lame -b:a 192k -ar 44100 -sn -dn -f mp3 -y -threads  2 "
            "\"/out/.holiday.partial.mp3\"");
        row("M4A", 12, "", " -movflags +faststart -f ipod -y");
        row("fit", 5, "Video Options/Video Size=1280x720",
            "-vf scale=trunc(iw*sar/2)*2:ih,setsar=1,scale=1280:720:force_original_aspect_ratio="
            "decrease:force_divisible_by=2,setsar=1 -c:v");
        row("stretch", 5, "Video Options/Keep Aspect Ratio=No", " -vf crop=trunc(iw/2)*2:");
        row("bit rate", 5, "Video Options/Video Bitrate=1500", "420p -b:v 1500k -preset medium");
        row("bit rate alone for VP9", 7, "Video Options/Video Bitrate=1500",
            "420p -b:v 1500k -deadline good");
        row("frame rate", 5, "Video Options/Video Framerate=29.97", "2)*2 -r 29.97 -c:v libx264");
        row("VP9 fast", 7, "Video Options/Encoding Speed=Fast", " realtime -cpu-used 5 -row-mt");
        row("no sound", 5, "Audio Options/Disable Audio=Yes", " medium -an -sn -dn -movflags");
        row("Flash keeps the shape with bars", 2, "Video Options/Keep Aspect Ratio=Yes",
            " -s 320x240 -vf scale=trunc(iw*sar/2)*2:ih,setsar=1,scale=320:240:force_original_"
            "aspect_ratio=decrease:force_divisible_by=2,pad=320:240:(ow-iw)/2:(oh-ih)/2:black,"
            "setsar=1 -acodec libmp3lame -y");
        // The picture's own rows, and the rate cap by the picture's size.
        row("quality", 5, "Video Options/Quality=18", " -crf 18 -maxrate 10000k -bufsize 20000k");
        row("VP9 quality", 7, "Video Options/Quality=63", " -crf 63 -b:v 7000k -deadline");
        row("cap at 720 lines", 5, "Video Options/Video Size=1280x720", " -maxrate 6000k ");
        row("AV1 cap at 240 lines", 8, "Video Options/Video Size=320x240", " mbr=400 -preset");
        row("portrait cap by the shorter side", 6, "Video Options/Video Size=720x1280",
            " -maxrate 4000k ");
        row("denoise", 5, "Video Options/Denoise=Medium", " -vf hqdn3d=4:3:6:4.5,crop=trunc(");
        row("rotate and flip", 5, "Video Options/Rotate=270;Video Options/Flip=Vertical",
            " -vf transpose=cclock,vflip,crop=trunc(");
        row("deinterlace", 5, "Video Options/Deinterlace=On",
            " -vf bwdif=mode=send_frame:parity=auto:deint=all,crop=trunc(");
        row("deinterlace flagged pictures when not looked at", 5,
            "Video Options/Deinterlace=Automatic",
            " -vf bwdif=mode=send_frame:parity=auto:deint="
            "interlaced,crop=trunc(");
        row("square pixels", 5, "Video Options/Square Pixels=Yes",
            " -vf scale=trunc(iw*sar/2)*2:trunc(ih/2)*2,setsar=1 -c:v libx264");
        row("crop window, odd sides made even", 5, "Video Options/Crop=1919:801:0:139",
            " -vf crop=1918:800:0:139,crop=trunc(");
        row("crop, all filters in order", 9,
            "Video Options/Crop=1920:800:0:140;Video Options/Denoise=Light;Video "
            "Options/Rotate=90;Video Options/Deinterlace=On",
            " -vf bwdif=mode=send_frame:parity=auto:deint=all,crop=1920:800:0:140,hqdn3d=2:1.5:3:"
            "2.25,transpose=clock,crop=trunc(");
        row("odd size", 5, "Video Options/Video Size=641x361", "<error: Video Size is not a size");
        row("Opus at 320 kbit/s", 8, "Audio Options/Audio Bitrate=320", " -b:a 320k");
        row("Opus at 44100 Hz", 7, "Audio Options/Sample Rate=44100",
            "refused:WEBM files cannot carry sound at 44100 Hz. Choose 48000 Hz under Sample "
            "Rate.");
        row("Opus mono at 320 kbit/s", 8,
            "Audio Options/Audio Bitrate=320;Audio Options/Audio Channel=1",
            "refused:WebM sound in 1 channel takes at most 256 kbit/s. Choose a lower Audio "
            "Bitrate, or more channels under Audio Channel.");
        row("sound only, sound off", 11, "Audio Options/Disable Audio=Yes",
            "refused:MP3 files hold sound only, and Disable Audio is Yes. Set Disable Audio to "
            "No.");
    }
    void todaysFormatCommands() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(QString, expected);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
            QVERIFY(sheet.setValue(c.section('/', 0, 0), c.section('/', 1).section('=', 0, 0),
                                   c.section('=', 1)));
        QTemporaryDir out;
        const std::optional<QString> refused = checkBeforeRun(profile, sheet, out.path());
        QCOMPARE(refused.value_or(""), expected.startsWith("refused:") ? expected.mid(8) : "");
        EncoderInputs in = example(profile, changes);
        const QString cmd = build(in).commandLine;
        QVERIFY2(refused || (cmd.contains(expected) &&
                             (!expected.endsWith('"') || cmd.endsWith(expected))),
                 qPrintable(cmd));
        in.inputPath = "/c/-a \"b\" $x;y(*.mp4).avi";
        const Built hostile = build(in);
        const QStringList args = splitCommandLine(hostile.commandLine);
        QVERIFY(hostile.outputPath.isEmpty() || args.at(args.indexOf("-i") + 1) == in.inputPath);
    }

    // Two-Pass with a bit rate: a measuring pass with its log in the item's folder, then the
    // file; one pass for a constant quality, for AV1 (noted) and without a folder.
    void twoPassCommands_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("first"); // the measuring pass's tail, or "" for none
        QTest::addColumn<QString>("second");
        const QString rate = "Video Options/Two-Pass=Yes;Video Options/Video Bitrate=1000";
        QTest::newRow("H.264")
            << 5 << rate
            << " -c:v libx264 -pix_fmt yuv420p -b:v 1000k -preset medium -pass 1 -passlogfile "
               "/tmp/p/pass -fps_mode cfr -an -sn -dn -f null -y -threads 2 -"
            << "-preset medium -pass 2 -passlogfile /tmp/p/pass -c:a aac";
        QTest::newRow("H.265") << 6 << rate
                               << " -tag:v hvc1 -x265-params pass=1:stats=/tmp/p/pass.log "
                                  "-fps_mode cfr -an"
                               << " -tag:v hvc1 -x265-params pass=2:stats=/tmp/p/pass.log -c:a";
        QTest::newRow("VP9") << 7 << rate
                             << " -row-mt 1 -pass 1 -passlogfile /tmp/p/pass -fps_mode cfr -an"
                             << " -row-mt 1 -pass 2 -passlogfile /tmp/p/pass -c:a";
        QTest::newRow("AV1 in one pass") << 8 << rate << ""
                                         << "-b:v 1000k -preset 8 -c:a";
        QTest::newRow("constant quality in one pass") << 5 << "Video Options/Two-Pass=Yes"
                                                      << ""
                                                      << "-crf 23 -maxrate";
    }
    void twoPassCommands() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(QString, first);
        QFETCH(QString, second);
        EncoderInputs in = example(profile, changes);
        in.passLogFolder = "/tmp/p";
        const EncoderCommandResult r =
            buildEncoderCommand(in, [](const QString&) { return false; });
        const EncoderCommand& c = std::get<EncoderCommand>(r);
        QVERIFY2(c.command.text().contains(second), qPrintable(c.command.text()));
        QCOMPARE(c.firstPass.has_value(), !first.isEmpty());
        if (c.firstPass) {
            QVERIFY2(c.firstPass->text().contains(first), qPrintable(c.firstPass->text()));
            QVERIFY(c.firstPass->text().startsWith("\"/opt/conv/fp.dll\" -ss 10 -i "));
            QCOMPARE(splitCommandLine(c.firstPass->text()), c.firstPass->arguments());
        }
        QCOMPARE(c.notes.contains("AV1 is encoded in one pass: Two-Pass is not offered for it."),
                 profile == 8);
        in.passLogFolder.clear();
        QVERIFY(!std::get<EncoderCommand>(buildEncoderCommand(in)).firstPass);
    }

    // A crop is made to fit the picture with even sides (4:2:0), never to leave nothing.
    void cropFitting_data() {
        QTest::addColumn<QString>("crop");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("fitted");
        QTest::newRow("fits") << "1920:800:0:140"
                              << "1920x1080"
                              << "1920:800:0:140";
        QTest::newRow("odd sides") << "721:479:3:1"
                                   << "720x576"
                                   << "720:478:0:1";
        QTest::newRow("nothing left") << "0:1:0:0"
                                      << "720x576"
                                      << "2:2:0:0";
        QTest::newRow("wider than the picture") << "2000:800:50:140"
                                                << "1920x1080"
                                                << "1920:800:0:140";
        QTest::newRow("runs off the bottom") << "1920:800:0:400"
                                             << "1920x1080"
                                             << "1920:800:0:280";
        QTest::newRow("picture size unknown") << "641:361:9:9"
                                              << "0x0"
                                              << "640:360:9:9";
    }
    void cropFitting() {
        QFETCH(QString, crop);
        QFETCH(QString, picture);
        QFETCH(QString, fitted);
        const CropWindow c = fitCrop(*parseCropWindow(crop), picture.section('x', 0, 0).toInt(),
                                     picture.section('x', 1).toInt());
        QCOMPARE(QString("%1:%2:%3:%4").arg(c.width).arg(c.height).arg(c.x).arg(c.y), fitted);
    }

    // The Quality row takes the encoder's own scale, its default shown; the sheet refuses a
    // value off the scale; the Flash profiles lock the picture's rows.
    void qualityRow_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("taken");   // the highest value taken
        QTest::addColumn<QString>("refused"); // the lowest refused
        QTest::newRow("H.264") << 5 << "23"
                               << "51"
                               << "52";
        QTest::newRow("H.265") << 6 << "28"
                               << "51"
                               << "52";
        QTest::newRow("VP9") << 7 << "31"
                             << "63"
                             << "64";
        QTest::newRow("AV1") << 8 << "35"
                             << "63"
                             << "64";
        QTest::newRow("Flash") << 2 << ""
                               << ""
                               << "";
    }
    void qualityRow() {
        QFETCH(int, profile);
        QFETCH(QString, shown);
        QFETCH(QString, taken);
        QFETCH(QString, refused);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 7); // another scale first
        applyProfilePick(sheet, profile);
        const OptionSheet::Row* row = sheet.row(opt::Video, opt::Quality);
        QVERIFY(row);
        if (shown.isEmpty()) {
            for (const QString& r : {opt::Quality, opt::Crop, opt::Deinterlace, opt::Denoise,
                                     opt::Rotate, opt::Flip, opt::SquarePixels})
                QVERIFY(sheet.row(opt::Video, r)->locked);
            return;
        }
        QCOMPARE(row->value, shown);
        QVERIFY(!row->locked);
        QVERIFY(sheet.setValue(opt::Video, opt::Quality, taken));
        for (const QString& bad : {refused, QString("-1"), QString("20.5"), QString("best")})
            QVERIFY(!sheet.setValue(opt::Video, opt::Quality, bad));
        QCOMPARE(sheet.value(opt::Video, opt::Quality), std::optional<QString>(taken));
        // A reset to the profile gives its scale back as well.
        applyProfilePick(sheet, 5);
        resetToProfile(sheet, profile);
        QCOMPARE(sheet.value(opt::Video, opt::Quality), std::optional<QString>(shown));
        QVERIFY(sheet.setValue(opt::Video, opt::Quality, taken));
    }

    void readsOptionsFromTheSheet() {
        const EncoderOptions flash = example().options;
        QCOMPARE(flash.width, 320);
        QCOMPARE(flash.height, 240);
        QCOMPARE(flash.videoKbits, std::optional<double>(512));
        QCOMPARE(flash.frameRate, std::optional<double>(25));
        QVERIFY(!flash.keepAspect);
        QCOMPARE(flash.audioCodec, QString("mp3"));
        QVERIFY(!flash.audioOff);
        QCOMPARE(flash.audioKbits, 64.0);
        QCOMPARE(flash.sampleRate, 44100);
        QCOMPARE(flash.audioChannels, 2.0);
        // Today's formats: the source's size and rate, a constant quality.
        const EncoderOptions mp4 = example(5).options;
        QVERIFY(mp4.sameSizeAsSource());
        QVERIFY(!mp4.videoKbits && !mp4.frameRate && mp4.keepAspect);
        QCOMPARE(mp4.speed, EncodingSpeed::Balanced);
        QCOMPARE(example(5, "Video Options/Encoding Speed=Small File").options.speed,
                 EncodingSpeed::SmallFile);
    }

    void progressReports_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<double>("seconds");
        QTest::newRow("last of several")
            << QByteArray("frame=1 time=00:00:00.50 x\rframe=9 time=00:00:01.25 bitrate=1\r")
            << 1.25;
        QTest::newRow("hours") << QByteArray("time=01:02:03.00") << 3723.0;
        QTest::newRow("negative ignored")
            << QByteArray("time=00:00:02.00 time=-00:00:00.04") << 2.0;
        QTest::newRow("none") << QByteArray("Input #0, avi\n") << -1.0;
    }
    void progressReports() {
        QFETCH(QByteArray, log);
        QFETCH(double, seconds);
        const auto t = lastReportedTime(log);
        QCOMPARE(t.value_or(-1.0), seconds);
    }

    void trackBar() {
        QCOMPARE(itemProgressFor(0.0, 10), 10);
        QCOMPARE(itemProgressFor(5.0, 10), 50);
        QCOMPARE(itemProgressFor(10.0, 10), 99);
        QCOMPARE(itemProgressFor(50.0, 10), 99);
        QCOMPARE(itemProgressFor(3.0, 0), 10);
        QCOMPARE(lastLogLines("a\nb\r\rc\n\n d \n", 2), QString("c\nd"));
    }

    void errorLinesStateTheCause_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("lines");
        // FFmpeg's refusal of a sample rate FLV cannot carry, followed by its usual epilogue.
        QTest::newRow("sample rate refused")
            << QByteArray("Input #0, avi, from 'a.avi':\n  Duration: 00:00:01.00\n"
                          "Press [q] to stop, [?] for help\n"
                          "[flv @ 0x1] FLV does not support sample rate 24000, choose from "
                          "(44100, 22050, 11025)\n"
                          "[flv @ 0x1] Audio codec mp3 not compatible with flv\n"
                          "Could not write header for output file #0 (incorrect codec "
                          "parameters ?): Function not implemented\n"
                          "Error initializing output stream 0:0 -- \n"
                          "[libmp3lame @ 0x2] 4 frames left in the queue on closing\n"
                          "Conversion failed!\n")
            << "[flv @ 0x1] FLV does not support sample rate 24000, choose from (44100, 22050, "
               "11025)\n[flv @ 0x1] Audio codec mp3 not compatible with flv\nCould not write "
               "header for output file #0 (incorrect codec parameters ?): Function not "
               "implemented\nError initializing output stream 0:0 --\nConversion failed!";
        QTest::newRow("missing input, repeated line kept once")
            << QByteArray("/c/gone.avi: No such file or directory\nx\n"
                          "/c/gone.avi: No such file or directory\n")
            << "/c/gone.avi: No such file or directory";
        QTest::newRow("progress lines are not reasons")
            << QByteArray("frame=  10 size=1kB time=00:00:01.00 bitrate=error.flv\rdone\n")
            << "frame=  10 size=1kB time=00:00:01.00 bitrate=error.flv\ndone";
    }
    void errorLinesStateTheCause() {
        QFETCH(QByteArray, log);
        QFETCH(QString, lines);
        QCOMPARE(errorLines(log), lines);
    }

    // Real outputs of every container, whole and as a full disk or a killed encoder leaves
    // them (cut short, or never finished: written where the encoder could not go back to
    // complete them), judged by the check the run uses. "*" is any failure.
    void outputsAreJudgedByWhatTheyHold_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("clip");
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("failure");
        static QTemporaryDir dir;
        const QStringList source{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                                 "-f", "lavfi", "-i", "sine",
                                 "-t", "4"};
        const QStringList flash{"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "44100"};
        const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"};
        const struct {
            QString ext, muxer;
            QStringList codecs;
            bool video, pipe;
        } kinds[] = {{"flv", "flv", flash, true, true},
                     {"swf", "swf", flash, true, true},
                     {"mp4", "mp4", h264 + QStringList{"-movflags", "+faststart"}, true, false},
                     {"mkv", "matroska", h264, true, true},
                     {"webm",
                      "webm",
                      {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-c:a", "libopus"},
                      true,
                      true},
                     {"mp3", "mp3", {"-vn", "-c:a", "libmp3lame"}, false, false},
                     {"m4a", "ipod", {"-vn", "-c:a", "aac"}, false, false}};
        for (const auto& k : kinds) {
            const QString whole = dir.filePath("whole." + k.ext);
            QVERIFY(test::makeClip(whole, source, k.codecs));
            QFile in(whole);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray bytes = in.readAll();
            const auto cut = [&](const char* name, qsizetype size) {
                QFile out(dir.filePath(name + ("." + k.ext)));
                QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes.left(size)) == size);
                QTest::addRow("%s %s", qPrintable(k.ext), name)
                    << out.fileName() << qint64(4) << k.video << "*";
            };
            QTest::addRow("%s whole", qPrintable(k.ext)) << whole << qint64(4) << k.video << "";
            QTest::addRow("%s of a longer clip", qPrintable(k.ext))
                << whole << qint64(6) << k.video << "The output lasts 4 s of a 6 s clip.";
            cut("half", bytes.size() / 2);
            if (k.ext != "mp3") // only the encoder's log tells this one (see below)
                cut("short by 2 KB", bytes.size() - 2048);
            if (k.pipe) {
                QProcess ffmpeg;
                const QString unfinished = dir.filePath("unfinished." + k.ext);
                ffmpeg.setStandardOutputFile(unfinished);
                ffmpeg.start("ffmpeg", QStringList{"-v", "error"} + source + k.codecs +
                                           QStringList{"-f", k.muxer, "-"});
                QVERIFY(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
                QTest::addRow("%s never finished", qPrintable(k.ext))
                    << unfinished << qint64(4) << k.video << "*";
            }
        }
        // A long MP3 is read from a little before the clip's end, through its table of contents.
        const QString minute = dir.filePath("minute.mp3");
        QVERIFY(test::makeClip(minute, {"-f", "lavfi", "-i", "sine", "-t", "60"}, {}));
        QFile half(dir.filePath("minute half.mp3"));
        QVERIFY(half.open(QIODevice::WriteOnly) &&
                half.write(test::contents(minute).left(QFileInfo(minute).size() / 2)) > 0);
        QTest::newRow("mp3 minute whole") << minute << qint64(60) << false << "";
        QTest::newRow("mp3 minute of a shorter clip")
            << minute << qint64(50) << false << "The output lasts 60 s of a 50 s clip.";
        QTest::newRow("mp3 minute of a longer clip") << minute << qint64(70) << false << "*";
        QTest::newRow("mp3 minute half") << half.fileName() << qint64(60) << false << "*";
        QTest::newRow("sound where video is wanted")
            << dir.filePath("whole.m4a") << qint64(4) << true
            << "The encoder wrote an empty file: it holds no video.";
        QFile noise(dir.filePath("noise.flv"));
        QVERIFY(noise.open(QIODevice::WriteOnly));
        for (int i = 0; i < 5000; ++i)
            noise.write(QByteArray::number(i * 7919 % 65521));
        QTest::newRow("noise") << noise.fileName() << qint64(4) << true << "*";
    }
    void outputsAreJudgedByWhatTheyHold() {
        QFETCH(QString, file);
        QFETCH(qint64, clip);
        QFETCH(bool, video);
        QFETCH(QString, failure);
        OutputCheck check;
        QSignalSpy judged(&check, &OutputCheck::finished);
        check.start(file, clip, video);
        QVERIFY(judged.wait(30000));
        const QString said = judged.first().first().toString();
        if (failure == "*")
            QVERIFY2(!said.isEmpty(), qPrintable(file));
        else
            QCOMPARE(said, failure);
    }

    // However long the output, the check reads its head and its last stretch, never the whole
    // file: what the prober says it read of a minute's output of each container.
    void checksReadLittleOfALongOutput_data() {
        QTest::addColumn<QString>("file");
        static QTemporaryDir dir;
        const QStringList source{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                                 "-f", "lavfi", "-i", "sine",
                                 "-t", "60"};
        const QStringList flash{"-g", "25", "-c:v", "flv", "-c:a", "libmp3lame", "-ar", "44100"};
        const QStringList h264{"-g",      "25",        "-c:v", "libx264",
                               "-preset", "ultrafast", "-c:a", "aac"};
        const std::pair<QString, QStringList> kinds[] = {
            {"flv", flash},
            {"swf", flash},
            {"mp4", h264 + QStringList{"-movflags", "+faststart"}},
            {"mkv", h264},
            {"webm",
             {"-g", "25", "-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8", "-c:a",
              "libopus"}},
            {"mp3", {"-vn", "-c:a", "libmp3lame"}},
            {"m4a", {"-vn", "-c:a", "aac"}}};
        for (const auto& [ext, codecs] : kinds) {
            const QString path = dir.filePath("long." + ext);
            QVERIFY(test::makeClip(path, source, codecs));
            QTest::newRow(qPrintable(ext)) << path;
        }
    }
    void checksReadLittleOfALongOutput() {
        QFETCH(QString, file);
        const PacketListing read =
            readPackets(outputReading(file, !file.endsWith(".mp3") && !file.endsWith(".m4a"), 60));
        QVERIFY2(read.exitCode == 0 && read.errors.isEmpty(), read.errors.constData());
        QVERIFY(read.bytesRead > 0);
        QVERIFY2(read.bytesRead < QFileInfo(file).size() / 4,
                 qPrintable(QString::number(read.bytesRead) + " of " +
                            QString::number(QFileInfo(file).size())));
    }

    // FFmpeg can exit 0 when the disk fills at the end: the log's write errors tell.
    void writeErrorsAreFoundInTheLog_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("line");
        QTest::newRow("trailer, exit 0")
            << QByteArray("frame=    1 fps=0.0 time=00:00:00.05 speed=2.83x    \rError writing "
                          "trailer of /o/.a.partial.flv: No space left on device\rframe=   75 "
                          "Lsize=     156kB\nError closing file /o/.a.partial.flv: No space left "
                          "on device\n")
            << "Error writing trailer of /o/.a.partial.flv: No space left on device";
        QTest::newRow("while writing")
            << QByteArray("[flv @ 0x5] x\nav_interleaved_write_frame(): No space left on device\n")
            << "av_interleaved_write_frame(): No space left on device";
        QTest::newRow("only a name holding the words")
            << QByteArray("Input #0, avi, from '/c/Error writing trailer.avi':\n") << "";
    }
    void writeErrorsAreFoundInTheLog() {
        QFETCH(QByteArray, log);
        QFETCH(QString, line);
        QCOMPARE(writeErrorLine(log), line);
    }

    // A finished file takes its output's name without ever replacing someone else's file.
    void publishingReplacesOnlyWhatItMay_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("meanwhile"); // what the output's name holds at the end
        QTest::addColumn<QString>("savedAs");
        for (const bool overwrite : {false, true}) {
            QTest::addRow("overwrite %d, name free", overwrite) << overwrite << ""
                                                                << "a.flv";
            QTest::addRow("overwrite %d, a file appeared", overwrite) << overwrite << "appeared"
                                                                      << "a_New.flv";
        }
        QTest::newRow("overwrite, the old file") << true << "old"
                                                 << "a.flv";
        QTest::newRow("overwrite, old file rewritten") << true << "rewritten"
                                                       << "a_New.flv";
    }
    void publishingReplacesOnlyWhatItMay() {
        QFETCH(bool, overwrite);
        QFETCH(QString, meanwhile);
        QFETCH(QString, savedAs);
        QTemporaryDir dir;
        const QString output = dir.filePath("a.flv");
        const auto put = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        };
        if (meanwhile == "old" || meanwhile == "rewritten")
            put(output, "old");
        const std::optional<FileIdentity> old = identityOf(output);
        const QString partial = partialPath(output);
        const std::optional<FileIdentity> made = createExclusively(partial);
        QVERIFY(made && !createExclusively(partial)); // the name is reserved
        put(partial, "new");
        if (meanwhile == "appeared")
            put(output, meanwhile.toUtf8());
        if (meanwhile == "rewritten") {
            QFile::remove(output);
            put(output, meanwhile.toUtf8());
        }
        const Publication done =
            publishOutput(partial, output, overwrite, old, {overwrite, {}, {}});
        QVERIFY2(done.failure.isEmpty(), qPrintable(done.failure));
        QCOMPARE(done.path, dir.filePath(savedAs));
        QCOMPARE(test::contents(done.path), QByteArray("new"));
        if (done.path != output)
            QCOMPARE(test::contents(output), meanwhile.toUtf8());
        QVERIFY(!QFile::exists(partial) && !removeIfSame(done.path, FileIdentity()));
    }

    // The table of refused sample rates against the real encoder: every rate of the sheet, in
    // both formats, converted once.
    void refusedSampleRatesMatchTheEncoder() {
        QTemporaryDir dir;
        const QString clip = dir.filePath("in.avi");
        QVERIFY(test::makeClip(
            clip,
            {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-f", "lavfi", "-i", "sine"},
            {"-t", "0.3", "-c:v", "mpeg4", "-c:a", "libmp3lame"}));
        OptionSheet sheet;
        fillOptionSheet(sheet);
        const QStringList rates = sheet.row("Audio Options", "Sample Rate")->choices;
        QCOMPARE(rates.size(), 7);
        for (const QString ext : {".flv", ".swf"}) {
            for (const QString& rate : rates) {
                QProcess ffmpeg;
                ffmpeg.start("ffmpeg", {"-v", "quiet", "-y", "-i", clip, "-ar", rate, "-acodec",
                                        "libmp3lame", "-s", "320x240", dir.filePath("out" + ext)});
                QVERIFY(ffmpeg.waitForFinished(30000));
                const bool refused = ffmpeg.exitCode() != 0;
                QVERIFY2(refusedSampleRates(ext).contains(rate) == refused,
                         qPrintable(ext + " " + rate));
            }
        }
    }

    void timeLeftFollowsTheSpeedSoFar() {
        // Four clips of 10 s; the first took 2 s: 30 s of clips left at 5x is 6 s.
        RunEstimate estimate;
        estimate.begin(40);
        estimate.progress(2.0, 500);
        QVERIFY(!estimate.secondsLeft()); // too early to say
        estimate.progress(10.0, 2000);
        QVERIFY(!estimate.secondsLeft());
        estimate.progress(15.0, 3000);
        QCOMPARE(estimate.secondsLeft().value_or(-1), 5);
        estimate.progress(40.0, 800); // a run over before the estimate settled
        QCOMPARE(estimate.secondsLeft().value_or(-1), 0);
    }
};

QTEST_GUILESS_MAIN(TestEncoderCommand)
#include "tst_encodercommand.moc"
