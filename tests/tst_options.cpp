#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/presets.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QSignalSpy>
#include <QtTest>

using namespace clipvane;
using Kind = OptionSheet::Kind;

Q_DECLARE_METATYPE(OptionSheet::Kind)

class TestOptions : public QObject {
    Q_OBJECT

    static QString value(const OptionSheet& s, const QString& c, const QString& r) {
        return s.value(c, r).value_or("<missing>");
    }
    static QStringList choices(const OptionSheet& s, const QString& c, const QString& r) {
        const OptionSheet::Row* row = s.row(c, r);
        return row ? row->choices : QStringList{"<missing>"};
    }

private slots:
    void fillOptionSheetBuildsTheTable_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("choices");
        auto row = [](const char* cat, const char* cap, Kind k, bool l, const char* v,
                      QStringList c) {
            QTest::newRow((QString(cat) + "/" + cap).toUtf8())
                << QString(cat) << QString(cap) << k << l << QString(v) << c;
        };
        row("General", "Item Name", Kind::Text, true, "Auto", {});
        row("Output Duration", "All Clip Duration", Kind::Text, true, "00:00:00", {});
        row("Output Duration", "Start Time", Kind::Text, true, "00:00:00", {});
        row("Output Duration", "Stop Time", Kind::Text, true, "00:00:00", {});
        row("Video Options", "Video Codec", Kind::List, false, "xvid", {"xvid", "mpeg4", "x264"});
        row("Video Options", "Video Size", Kind::List, false, "320x240",
            {"320x240", "480x270", "480x320", "640x480"});
        row("Video Options", "Video Bitrate", Kind::List, false, "256",
            {"48", "64", "128", "192", "256", "512", "768", "1000", "1500", "1152", "2500"});
        row("Video Options", "Video Framerate", Kind::List, false, "29.97",
            {"Auto", "8", "10", "12", "15", "23.976", "24", "25", "29.97", "30"});
        row("Audio Options", "Audio Codec", Kind::List, false, "mp3", {"mp3"});
        row("Audio Options", "Audio Bitrate", Kind::List, false, "128",
            {"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256",
             "320"});
        row("Audio Options", "Sample Rate", Kind::List, false, "44100",
            {"8000", "11025", "22050", "24000", "32000", "44100", "48000"});
        row("Audio Options", "Audio Channel", Kind::List, false, "2", {"1", "2"});
        row("Audio Options", "Disable Audio", Kind::List, false, "No", {"No", "Yes"});
        row("Audio Options", "A/V Sync", Kind::List, false, "Basic", {"Basic", "Default"});
    }
    void fillOptionSheetBuildsTheTable() {
        QFETCH(QString, category);
        QFETCH(QString, caption);
        QFETCH(Kind, kind);
        QFETCH(bool, locked);
        QFETCH(QString, value);
        QFETCH(QStringList, choices);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        const OptionSheet::Row* row = sheet.row(category, caption);
        QVERIFY(row);
        QCOMPARE(row->kind, kind);
        QCOMPARE(row->locked, locked);
        QCOMPARE(row->value, value);
        QCOMPARE(row->choices, choices);
    }

    void fillOptionSheetOrder() {
        OptionSheet sheet;
        sheet.addCategory("Stale");
        fillOptionSheet(sheet);
        QStringList layout;
        for (const auto& c : sheet.categories()) {
            QStringList rows;
            for (const auto& r : c.rows)
                rows << r.caption;
            layout << c.name + ": " + rows.join(", ");
        }
        QCOMPARE(layout,
                 (QStringList{
                     "General: Item Name, Tracks, Picture",
                     "Output Duration: All Clip Duration, Start Time, Stop Time",
                     "Video Options: Video Codec, Video Size, Video Bitrate, Quality, Two-Pass, "
                     "Target Size (MB), "
                     "Video Framerate, Keep Aspect Ratio, Encoding Speed, Encoder, Burn In "
                     "Subtitles, Crop, Deinterlace, Denoise, Rotate, Flip, Square Pixels",
                     "Audio Options: Audio Codec, Audio Bitrate, Sample Rate, Audio Channel, "
                     "Disable Audio, A/V Sync",
                 }));
    }

    void missingRowsAreFailures() {
        OptionSheet sheet;
        fillOptionSheet(sheet);
        QVERIFY(!sheet.setValue("Video Options", "Nope", "1"));
        QVERIFY(!sheet.addChoice("Nope", "Video Size", "1"));
        QVERIFY(!sheet.value("Audio Options", "Video Size"));
        QVERIFY(!sheet.addRow("Nope", "x", "1", Kind::Text));
        QVERIFY(!sheet.addRow("General", "Item Name", "dup", Kind::Text));
    }

    void pick_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("codec");
        QTest::newRow("flv") << 2 << "FLV";
        QTest::newRow("swf") << 3 << "SWF";
    }
    void pick() {
        QFETCH(int, index);
        QFETCH(QString, codec);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        sheet.setValue("Audio Options", "Audio Channel", "1");
        sheet.setValue("Audio Options", "Disable Audio", "Yes");
        sheet.setValue("Audio Options", "A/V Sync", "Default");
        sheet.setValue("Video Options", "Video Bitrate", "1000");
        applyProfilePick(sheet, index);
        QCOMPARE(value(sheet, "Video Options", "Video Codec"), codec);
        QCOMPARE(choices(sheet, "Video Options", "Video Codec"), QStringList{codec});
        QCOMPARE(value(sheet, "Video Options", "Video Bitrate"), QString("512"));
        QCOMPARE(value(sheet, "Video Options", "Video Framerate"), QString("25"));
        QCOMPARE(value(sheet, "Video Options", "Video Size"), QString("320x240"));
        QCOMPARE(choices(sheet, "Video Options", "Video Size"),
                 (QStringList{"128x96", "176x144", "220x176", "320x240", "704x576", "640x480",
                              "800x600", "1024x768"}));
        QCOMPARE(value(sheet, "Audio Options", "Audio Codec"), QString("mp3"));
        QCOMPARE(choices(sheet, "Audio Options", "Audio Codec"), QStringList{"mp3"});
        QCOMPARE(value(sheet, "Audio Options", "Audio Bitrate"), QString("64"));
        QCOMPARE(value(sheet, "Audio Options", "Sample Rate"), QString("44100"));
        // Untouched by a pick.
        QCOMPARE(value(sheet, "Audio Options", "Audio Channel"), QString("1"));
        QCOMPARE(value(sheet, "Audio Options", "Disable Audio"), QString("Yes"));
        QCOMPARE(value(sheet, "Audio Options", "A/V Sync"), QString("Default"));
        QCOMPARE(choices(sheet, "Video Options", "Video Bitrate").size(), 11);
    }

    void swfAfterFlvLeavesOneCodec() {
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        applyProfilePick(sheet, 3);
        QCOMPARE(choices(sheet, "Video Options", "Video Codec"), QStringList{"SWF"});
        QCOMPARE(choices(sheet, "Video Options", "Video Size").size(), 8);
    }

    // Today's formats: one codec each, the source's size and shape, constant quality, the rates
    // the format takes; sound-only ones lock the picture rows. Flash then gets its lists back.
    void todaysFormatPicks_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("codecs"); // video, audio, extension
        QTest::newRow("MP4 H.264") << 5 << "H.264 aac .mp4";
        QTest::newRow("MP4 H.265") << 6 << "H.265 aac .mp4";
        QTest::newRow("WebM VP9") << 7 << "VP9 opus .webm";
        QTest::newRow("WebM AV1") << 8 << "AV1 opus .webm";
        QTest::newRow("Matroska") << 9 << "H.264 aac .mkv";
        QTest::newRow("MP3") << 11 << "None mp3 .mp3";
        QTest::newRow("M4A") << 12 << "None aac .m4a";
    }
    void todaysFormatPicks() {
        QFETCH(int, index);
        QFETCH(QString, codecs);
        const QStringList c = codecs.split(' ');
        QCOMPARE(outputExtension(profileCatalogue().at(index - 1).caption), c[2]);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        sheet.setValue("Audio Options", "Disable Audio", "Yes");
        applyProfilePick(sheet, index);
        const QStringList rows{"Video Codec",      "Video Size",        "Video Bitrate",
                               "Video Framerate",  "Keep Aspect Ratio", "Encoding Speed",
                               "Burn In Subtitles"};
        QStringList values;
        for (const QString& row : rows) {
            values << value(sheet, "Video Options", row);
            QCOMPARE(sheet.row("Video Options", row)->locked, c[0] == "None");
        }
        QCOMPARE(values, (QStringList{c[0], "Same as source", "Auto", "Same as source", "Yes",
                                      "Balanced", "None"}));
        // Each sound track keeps its channels unless one or two are asked for.
        QCOMPARE(value(sheet, "Audio Options", "Audio Channel"), QString("Same as source"));
        QCOMPARE(choices(sheet, "Audio Options", "Audio Channel"),
                 (QStringList{"Same as source", "1", "2"}));
        QCOMPARE(choices(sheet, "Video Options", "Video Size").mid(0, 3),
                 (QStringList{"Same as source", "426x240", "640x360"}));
        QCOMPARE(value(sheet, "Audio Options", "Audio Codec"), c[1]);
        const QStringList rates = choices(sheet, "Audio Options", "Sample Rate");
        QCOMPARE(rates.size(), c[1] == "opus" ? 1 : 7);
        QVERIFY(rates.contains(value(sheet, "Audio Options", "Sample Rate")));
        QCOMPARE(value(sheet, "Audio Options", "Disable Audio"), QString("Yes"));

        applyProfilePick(sheet, 2);
        QCOMPARE(value(sheet, "Video Options", "Keep Aspect Ratio"), QString("No"));
        // Flash encoders have no speed setting and keep no subtitles; they write a number of
        // channels.
        for (const QString& row : rows)
            QCOMPARE(sheet.row("Video Options", row)->locked,
                     row == "Encoding Speed" || row == "Burn In Subtitles");
        QCOMPARE(value(sheet, "Audio Options", "Audio Channel"), QString("2"));
        QCOMPARE(choices(sheet, "Audio Options", "Audio Channel"), (QStringList{"1", "2"}));
        for (const auto& [category, row] : {std::pair{"Video Options", "Video Bitrate"},
                                            {"Video Options", "Video Framerate"},
                                            {"Audio Options", "Sample Rate"}})
            QCOMPARE(choices(sheet, category, row), startingChoices(category, row));
    }

    void headerAndNoSelectionChangeNothing_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("header") << 1;
        QTest::newRow("none") << 0;
        QTest::newRow("out of range") << 4;
        QTest::newRow("audio heading") << 10;
        QTest::newRow("past the end") << 13;
    }
    void headerAndNoSelectionChangeNothing() {
        QFETCH(int, index);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        sheet.setValue("Video Options", "Video Bitrate", "1000");
        QSignalSpy values(&sheet, &OptionSheet::valueChanged);
        QSignalSpy lists(&sheet, &OptionSheet::choicesChanged);
        applyProfilePick(sheet, index);
        QCOMPARE(values.count(), 0);
        QCOMPARE(lists.count(), 0);
        QCOMPARE(value(sheet, "Video Options", "Video Bitrate"), QString("1000"));
        QCOMPARE(choices(sheet, "Video Options", "Video Codec"), QStringList{"FLV"});
    }

    void profileSetting_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("13") << "13" << 0;
        QTest::newRow("text") << "flv" << 0;
        QTest::newRow("leading number") << "2 (flv)" << 2;
        QTest::newRow("negative") << "-2" << 0;
        QTest::newRow("half rounds to even") << "2.5" << 2;
        QTest::newRow("rounds past the last") << "12.7" << 0;
        QTest::newRow("20 digits") << "99999999999999999999" << 0;
        QTest::newRow("20 digits negative") << "-99999999999999999999" << 0;
        QTest::newRow("too long for a double") << QString(400, '9') << 0;
    }
    void profileSetting() {
        QFETCH(QString, stored);
        QFETCH(int, index);
        QCOMPARE(profileIndexFromSetting(stored), index);
        // A start with nothing stored picks MP4; a stored text keeps its own reading.
        const int started = startProfileIndex(stored);
        if (stored.isEmpty())
            QCOMPARE(profileAt(started)->caption, QString("MP4 Video H.264 + AAC(*.mp4)"));
        else
            QCOMPARE(started, index);
    }

    // Remembered values come back only where the row still offers them.
    void storedValuesAreChecked() {
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        const int set = applyStoredOptions(
            sheet, {{"video options/video size", "640x480"}, // case of the key is no matter
                    {"Video Options/Video Bitrate", "999"},  // no longer a choice: dropped
                    {"Video Options/Video Codec", "xvid"},   // not a choice of the FLV pick
                    {"Video Options/Deinterlace", "Yes"},    // a row this sheet lacks
                    {"General/Item Name", "/evil.avi"},      // locked: the item page's
                    {"Audio Options/Audio Channel", "1"}});
        QCOMPARE(set, 2);
        QCOMPARE(value(sheet, "Video Options", "Video Size"), QString("640x480"));
        QCOMPARE(value(sheet, "Video Options", "Video Bitrate"), QString("512"));
        QCOMPARE(value(sheet, "Video Options", "Video Codec"), QString("FLV"));
        QCOMPARE(value(sheet, "General", "Item Name"), QString("Auto"));
        QCOMPARE(value(sheet, "Audio Options", "Audio Channel"), QString("1"));
    }

    void resetGivesTheFirstPickAndKeepsTheItemPage() {
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        sheet.setValue("General", "Item Name", "/v/a.avi");
        sheet.setValue("Audio Options", "Audio Channel", "1");
        sheet.setValue("Video Options", "Video Size", "800x600");
        resetToProfile(sheet, 3);
        OptionSheet fresh;
        fillOptionSheet(fresh);
        applyProfilePick(fresh, 3);
        fresh.setValue("General", "Item Name", "/v/a.avi");
        QCOMPARE(editableOptions(sheet), editableOptions(fresh));
        QCOMPARE(choices(sheet, "Video Options", "Video Codec"), QStringList{"SWF"});
        QCOMPARE(value(sheet, "General", "Item Name"), QString("/v/a.avi"));
    }

    void memoryIsPerProfile() {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        const OptionMemory memory(file);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        sheet.setValue("Video Options", "Video Bitrate", "1000");
        QVERIFY(memory.remember(2, sheet));
        QVERIFY(!memory.remember(1, sheet)); // a heading has no values
        QVERIFY(!memory.recall(3, sheet));
        applyProfilePick(sheet, 2);
        QVERIFY(memory.recall(2, sheet));
        QCOMPARE(value(sheet, "Video Options", "Video Bitrate"), QString("1000"));
        // A section left by a catalogue that had another profile at entry 2 is not used.
        QVERIFY(writeSetting(file, "options.2", "profile", "Old Format(*.old)"));
        applyProfilePick(sheet, 2);
        QVERIFY(!memory.recall(2, sheet));
        QCOMPARE(value(sheet, "Video Options", "Video Bitrate"), QString("512"));
    }

    // A damaged preset section loses that preset only.
    void presetsSurviveEachOthersDamage_data() {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("names");
        const QStringList both{"Big", "small \"one\""};
        QTest::newRow("sound") << QByteArray() << QByteArray() << both;
        QTest::newRow("name line gone")
            << QByteArray("name=Big\n") << QByteArray() << QStringList{"small \"one\""};
        QTest::newRow("profile line spoilt")
            << QByteArray("profile=Flash Video Movie(*.flv)\nVideo")
            << QByteArray("prof%%\xff\nVideo") << QStringList{"small \"one\""};
        QTest::newRow("garbage lines and a bad value")
            << QByteArray("Video Options/Video Size=1024x768")
            << QByteArray("\x01\x02]]==\nVideo Options/Video Size=99x99") << both;
        QTest::newRow("same name twice")
            << QByteArray("name=small \"one\"") << QByteArray("name=BIG") << QStringList{"Big"};
    }
    void presetsSurviveEachOthersDamage() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        const PresetStore store(file);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        sheet.setValue("Video Options", "Video Size", "1024x768");
        QCOMPARE(store.save(" Big\n", 2, sheet), 1);
        sheet.setValue("Audio Options", "Sample Rate", "22050");
        QCOMPARE(store.save("small \"one\"", 3, sheet), 2);
        QCOMPARE(store.save("", 2, sheet), 0);
        QCOMPARE(store.save("Heading", 1, sheet), 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        if (!from.isEmpty()) {
            QVERIFY(bytes.contains(from));
            bytes.replace(bytes.indexOf(from), from.size(), to);
        }
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();

        const QList<Preset> presets = store.load();
        QStringList loaded;
        for (const Preset& p : presets)
            loaded << p.name;
        QCOMPARE(loaded, names);
        // The survivors still set what they hold; a value no longer offered is dropped.
        OptionSheet picked;
        fillOptionSheet(picked);
        applyPreset(picked, presets.first());
        const bool small = presets.first().number == 2;
        QCOMPARE(value(picked, "Video Options", "Video Codec"), QString(small ? "SWF" : "FLV"));
        QCOMPARE(value(picked, "Audio Options", "Sample Rate"), QString(small ? "22050" : "44100"));
        QCOMPARE(value(picked, "Video Options", "Video Size"),
                 QString(QTest::currentDataTag() == QByteArray("garbage lines and a bad value")
                             ? "320x240"
                             : "1024x768"));
    }

    void presetsRenameDeleteAndLoseTheirProfile() {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        const PresetStore store(file);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 2);
        QCOMPARE(store.save("b", 2, sheet), 1);
        QCOMPARE(store.save("a", 2, sheet), 2);
        QCOMPARE(store.save("B", 3, sheet), 1);              // the same name replaces
        QVERIFY(!store.rename(2, "b"));                      // another preset's name
        QVERIFY(store.applyEdits({{1, "a"}, {2, "b"}}, {})); // a swap is fine
        QCOMPARE(store.load().at(0).name, QString("a"));
        QCOMPARE(store.load().at(0).number, 1);
        QVERIFY(store.remove(2));
        QCOMPARE(store.load().size(), 1);
        QVERIFY(writeSetting(file, PresetStore::sectionFor(1), "profile", "Gone(*.gone)"));
        const Preset gone = store.load().at(0);
        QVERIFY(!gone.isUsable());
        QCOMPARE(gone.problem(), QString("Its profile \u201cGone(*.gone)\u201d no longer exists."));
        QCOMPARE(store.save("c", 2, sheet), 2); // numbers are given afresh above the highest
        QVERIFY(store.setPicked(2));
        QCOMPARE(store.picked(), 2);
    }

    // Presets written to a file and read into a settings file without presets come back as
    // their sections were, byte for byte. Read again, the question decides each name that is
    // taken; a damaged file imports what it can and names what it skipped.
    void presetFiles() {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        const PresetStore store(file);
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 5);
        QVERIFY(writeSetting(file, "set", "profile", "5"));
        for (const char* name : {"Phone \u00e9t\u00e9", "\"Quoted\"", "Gone", "Web"})
            QVERIFY(store.save(QString::fromUtf8(name), 5, sheet));
        QVERIFY(store.remove(3)); // numbers with a gap
        const QString shared = dir.filePath("mine.cvpresets");
        QVERIFY(store.exportTo(shared));
        QVERIFY(QDir().mkdir(dir.filePath("fresh")));
        const PresetStore fresh(dir.filePath("fresh/settings.dat"));
        QCOMPARE(fresh.importFrom(shared, {}).imported.size(), 3);
        const QByteArray all = test::contents(file);
        QCOMPARE(test::contents(dir.filePath("fresh/settings.dat")),
                 all.mid(all.indexOf("[preset.")));
        QStringList asked;
        const PresetImport again = fresh.importFrom(file, [&](const QString& name) {
            asked << name;
            return name == "Web" ? PresetNameClash::Skip : PresetNameClash::KeepBoth;
        });
        QCOMPARE(asked, (QStringList{"Phone \u00e9t\u00e9", "\"Quoted\"", "Web"}));
        QCOMPARE(again.imported, (QStringList{"Phone \u00e9t\u00e9 (2)", "\"Quoted\" (2)"}));
        QCOMPARE(again.kept, 1);

        QFile damaged(dir.filePath("damaged.cvpresets"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("garbage\n[preset.1]\nname=Web\nprofile=Flash SWF(*.swf)\n"
                                 "[preset.2]\nprofile=Flash SWF(*.swf)\n"
                                 "[preset.3]\nname=Old\nprofile=Real(*.rm)\n"
                                 "[preset.4]\nname=Caf\xE9\nprofile=Flash SWF(*.swf)\n"
                                 "[preset.5]\nname=No profile\n") +
                      QByteArray(1, '\0') + "\n[preset.6]\nname=Good\nprofile=Flash SWF(*.swf)\n");
        damaged.close();
        const PresetImport done = fresh.importFrom(
            damaged.fileName(), [](const QString&) { return PresetNameClash::Replace; });
        QCOMPARE(done.imported, (QStringList{"Web", "Good"}));
        QCOMPARE(done.skipped, (QStringList{"[preset.2] (it has no name)",
                                            "Old (its profile \u201cReal(*.rm)\u201d is not one "
                                            "Clipvane offers)",
                                            "Caf\ufffd (it is not UTF-8 text)",
                                            "No profile (it names no profile)"}));
        const QList<Preset> presets = fresh.load();
        QCOMPARE(PresetStore::findByName(presets, "Web")->number, 4); // replaced in place
        QCOMPARE(PresetStore::findByName(presets, "Web")->profileCaption,
                 QString("Flash SWF(*.swf)"));
    }

    // However many presets there are, loading them reads the file once.
    void manyPresetsLoadFromOneReading() {
        QTemporaryDir dir;
        const QString file = dir.filePath("settings.dat");
        QByteArray bytes("[set]\nprofile=2\n");
        const int count = 2000;
        for (int n = count; n >= 1; --n)
            bytes += "[preset." + QByteArray::number(n) + "]\nname=p " + QByteArray::number(n) +
                     "\nprofile=Flash Video Movie(*.flv)\nVideo Options/Video Size=320x240\n";
        bytes += "[preset.9999]\nname=P 7\nprofile=Flash Video Movie(*.flv)\n";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const quint64 reads = settingsFileReads();
        const QList<Preset> presets = PresetStore(file).load();
        QCOMPARE(settingsFileReads() - reads, quint64(1));
        QCOMPARE(presets.size(), count); // the second "p 7" is lost
        QCOMPARE(PresetStore::findByName(presets, "P 7")->number, 7);
        QCOMPARE(PresetStore::findByName(presets, "p 1999")->options,
                 (StoredOptions{{"Video Options/Video Size", "320x240"}}));
    }

    void extensions() {
        QCOMPARE(outputExtension("Flash Video Movie(*.flv)"), std::optional<QString>(".flv"));
        QCOMPARE(outputExtension("Flash SWF(*.swf)"), std::optional<QString>(".swf"));
        QVERIFY(!outputExtension("Flash Video"));
        QCOMPARE(profileCatalogue().size(), 12);
        QVERIFY(profileCatalogue().at(0).isHeading);
        QVERIFY(!profileCatalogue().at(1).isHeading);
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
