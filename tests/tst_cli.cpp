#include "cli/cliarguments.h"
#include "options/optionsheet.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

// The command line's arguments and how they set the sheet and the run (the conversions
// themselves: tests/cli.sh).
class TestCli : public QObject {
    Q_OBJECT
private slots:
    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("no command") << QStringList{"a.avi"} << "give one command";
        QTest::newRow("two commands")
            << QStringList{"--convert", "--watch", "d"} << "give one command";
        QTest::newRow("value missing")
            << QStringList{"--convert", "a", "--profile"} << "--profile needs a value";
        QTest::newRow("flag with value")
            << QStringList{"--convert", "--json=1", "a"} << "--json takes no value";
        QTest::newRow("keep and overwrite")
            << QStringList{"--convert", "--keep", "--overwrite", "a"} << "cannot both";
        QTest::newRow("profile and preset")
            << QStringList{"--convert", "--profile=5", "--preset=x", "a"} << "cannot both";
        QTest::newRow("watch with files") << QStringList{"--watch", "d", "a.avi"} << "one folder";
        QTest::newRow("end before start")
            << QStringList{"--convert", "--start=0:00:02", "--end", "1", "a"} << "after --start";
        QTest::newRow("bad time") << QStringList{"--convert", "--start", "soon", "a"}
                                  << "seconds or H:MM:SS";
        QTest::newRow("parallel fraction")
            << QStringList{"--convert", "--parallel", "1.5", "a"} << "whole number";
        QTest::newRow("stable zero")
            << QStringList{"--watch", "d", "--stable-seconds", "0"} << "above 0";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        const auto parsed = parseCliArguments(args);
        const auto* error = std::get_if<CliUsageError>(&parsed);
        QVERIFY(error);
        QVERIFY2(error->message.contains(said), qPrintable(error->message));
    }

    void optionsAreRead() {
        const auto parsed = parseCliArguments({"--convert", "--profile=MP4 H.264", "--start", "1.5",
                                               "--end=0:00:03.25", "--keep", "--set", "A/B=1",
                                               "--set=C/D=2", "--", "--odd name.avi"});
        const auto* r = std::get_if<CliRequest>(&parsed);
        QVERIFY(r);
        QCOMPARE(r->files, QStringList{"--odd name.avi"});
        QCOMPARE(r->start, std::optional<qint64>(150));
        QCOMPARE(r->end, std::optional<qint64>(325));
        QCOMPARE(r->overwrite, std::optional<bool>(false));
        QCOMPARE(r->sets, (QStringList{"A/B=1", "C/D=2"}));
    }

    void profilesByNumberOrName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("index");
        QTest::newRow("number") << "7" << 7;
        QTest::newRow("label any case") << "mp4 h.264" << 5;
        QTest::newRow("caption without extension") << "WebM Video AV1 + Opus" << 8;
        QTest::newRow("whole caption") << "MP3 Audio(*.mp3)" << 11;
        QTest::newRow("a heading") << "1" << 0;
        QTest::newRow("past the end") << "13" << 0;
        QTest::newRow("nothing like it") << "mp5" << 0;
    }
    void profilesByNumberOrName() {
        QFETCH(QString, typed);
        QFETCH(int, index);
        QCOMPARE(findProfile(typed).value_or(0), index);
    }

    void commandLineOrWindow() {
        QVERIFY(wantsCommandLine({"-platform", "offscreen", "--convert", "a"}));
        QVERIFY(!wantsCommandLine({"a.avi", "--", "--convert"}));
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile named("--help");
        QVERIFY(named.open(QIODevice::WriteOnly));
        QVERIFY(!wantsCommandLine({"--help"})); // a file of that name opens in the window
    }

    // The settings file decides what the options leave open, and is never written.
    void encodingFromSettingsAndOptions() {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        const QByteArray stored = "[set]\nprofile=5\nexistedfile=1\nautoshut=1\nnexttosource=1\n"
                                  "[options.5]\nprofile=MP4 Video H.264 + AAC(*.mp4)\n"
                                  "Audio Options/Audio Bitrate=96\n"
                                  "[preset.1]\nname=Small\nprofile=Flash Video Movie(*.flv)\n"
                                  "Video Options/Video Size=704x576\n";
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(stored) == stored.size());
        out.close();
        const auto run = [&](const QStringList& args, OptionSheet& sheet) {
            const auto parsed = parseCliArguments(QStringList{"--convert", "--settings", file} +
                                                  args + QStringList{"a"});
            return prepareEncoding(std::get<CliRequest>(parsed), sheet);
        };
        OptionSheet sheet;
        auto prepared = run(
            {"--set", "video options/video bitrate=768", "--keep", "--output", dir.path()}, sheet);
        auto* encoding = std::get_if<CliEncoding>(&prepared);
        QVERIFY(encoding);
        QCOMPARE(encoding->profileIndex, 5);
        QCOMPARE(sheet.value(opt::Audio, opt::AudioBitrate), std::optional<QString>("96"));
        QCOMPARE(sheet.value(opt::Video, opt::VideoBitrate), std::optional<QString>("768"));
        QVERIFY(!encoding->settings.overwrite && !encoding->settings.autoShut &&
                !encoding->settings.nextToSource);
        QCOMPARE(encoding->settings.outputFolder, dir.path());

        prepared = run({"--preset", "small"}, sheet);
        encoding = std::get_if<CliEncoding>(&prepared);
        QVERIFY(encoding);
        QCOMPARE(encoding->profileIndex, 2);
        QCOMPARE(sheet.value(opt::Video, opt::VideoSize), std::optional<QString>("704x576"));
        QVERIFY(encoding->settings.overwrite && encoding->settings.nextToSource);

        prepared = run({"--set", "General/Item Name=x"}, sheet);
        QVERIFY(std::get<CliUsageError>(prepared).message.contains("cannot be changed"));
        QCOMPARE(test::contents(file), stored);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
