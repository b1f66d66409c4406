#include "base/apppaths.h"
#include "convert/batchrun.h"
#include "convert/encodercommand.h"
#include "convert/plannedoutput.h"
#include "convert/queuefile.h"
#include "convert/queuekeeper.h"
#include "convert/runchecks.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/progresswatch.h"
#include "settings/settingsfile.h"
#include "sources/removedrows.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

using namespace clipvane;

namespace {
QJsonObject readJson(const QString& path) {
    return QJsonDocument::fromJson(test::contents(path)).object();
}
void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
QStringList files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
} // namespace

// The list kept on disk: its format, what a damaged file does, the finishers' outcomes and
// what an earlier session left under way; undo of removals; rows with their own profiles.
class TestQueue : public QObject {
    Q_OBJECT

    QTemporaryDir media;
    QString clip; // 1 s, a real video
    std::unique_ptr<test::ProgramFolder> folder;

    // One window's list, run and keeper.
    struct Window {
        SourceList list;
        OptionSheet sheet;
        BatchRun run{{&list, &sheet, [] { return 2; }, nullptr}};
        QueueKeeper keeper{&list, &run};
        QStringList notices;
        explicit Window(const QString& queue = {}) {
            fillOptionSheet(sheet);
            applyProfilePick(sheet, 2);
            QObject::connect(&keeper, &QueueKeeper::notice,
                             [this](const QString& text) { notices << text; });
            if (!queue.isEmpty())
                keeper.open(queue);
        }
    };
    QString queuePath() const { return folder->path() + "/queue.json"; }
    QString outcomes() const { return outcomeFolderOf(queuePath()); }
    // A queue file of one row, under way as the given object says.
    void writeQueue(const QString& id, const QJsonObject& underWay, const QString& status) {
        QJsonObject row{{"id", 5}, {"file", clip}, {"status", status}, {"start", 0}, {"end", 100}};
        if (!underWay.isEmpty())
            row.insert("underWay", underWay);
        put(queuePath(), queueText(id, {row}));
    }

private slots:
    void initTestCase() {
        clip = media.filePath("clip.avi");
        QVERIFY(test::makeStandardClip(clip, 1.0, "320x240"));
    }
    void init() { folder = std::make_unique<test::ProgramFolder>(); }
    void cleanup() { folder.reset(); }

    // Every row comes back as it was (its record the same, a newer program's keys kept); a
    // row whose file has gone says so; new rows take new ids.
    void rowsComeBackAsTheyWere() {
        const QString gone = media.filePath("gone.avi");
        QJsonObject saved;
        {
            Window first(queuePath());
            const SourceList::Id a = first.list.append(clip);
            first.list.setClip(a, 150, 9000);
            first.list.setLength(a, 12000);
            first.list.setText(a, SourceList::Status, "OK");
            first.list.setNote(a, "a note");
            first.list.setOutputPath(a, "/out/clip_New.flv");
            first.list.setLogPath(a, "/cache/encoder-1-1-1.log");
            first.list.setMediaFacts(a, {120.04, 25});
            first.list.setSoundless(a, true);
            first.list.setRowProfile(a, makeRowProfile(7, first.sheet));
            first.list.setScore(a, OutputScore{0.9871, qInf()}); // identical frames
            first.list.setScore(first.list.append(gone), OutputScore{0.9, 30.5});
            first.keeper.saveNow();
            // A newer program's key in the first record.
            QJsonObject top = readJson(queuePath());
            QJsonArray rows = top.value("rows").toArray();
            saved = rows.at(0).toObject();
            saved.insert("audioTrack", QJsonObject{{"index", 2}});
            rows[0] = saved;
            top.insert("rows", rows);
            put(queuePath(), QJsonDocument(top).toJson());
        }
        Window second(queuePath());
        QCOMPARE(second.list.count(), 2);
        QCOMPARE(rowRecord(second.list, 1, saved), saved);
        QCOMPARE(second.list.rowProfile(1), makeRowProfile(7, second.sheet));
        QCOMPARE(second.list.textAt(0, SourceList::Quality), QString("SSIM 0.987"));
        QCOMPARE(second.list.score(1), std::optional<OutputScore>(OutputScore{0.9871, qInf()}));
        QCOMPARE(second.list.score(2), std::optional<OutputScore>(OutputScore{0.9, 30.5}));
        QCOMPARE(second.list.note(2), "Invalid input file name. " + gone);
        QVERIFY(second.notices.join(' ').contains("1 of its 2 files are still to be converted"));
        QCOMPARE(second.list.append(clip), SourceList::Id(3));
        QTRY_COMPARE(readJson(queuePath()).value("rows").toArray().size(), 3);
        QCOMPARE(readJson(queuePath()).value("rows").toArray().at(0).toObject(), saved);
    }

    // A kept row converts the tracks it would have converted before the window closed: the
    // file's tracks and the user's choice come back, a choice alone is saved, and a recorded
    // subtitle "file" that is no full path is left out.
    void tracksComeBack() {
        StreamFacts facts;
        facts.listed = facts.hasVideo = true;
        facts.videoStream = 0;
        facts.videoCodec = "h264";
        facts.audio = {{1, "aac", 6, "5.1(side)", "eng", "", false},
                       {2, "ac3", 2, "stereo", "deu", "Commentary", true}};
        facts.subtitles = {{3, "subrip", false, "eng", "", false, false, "", ""},
                           {-1, "subrip", false, "es", "", false, false, "/c/a.es.srt", "CP1252"}};
        facts.chapters = {{0, 61.5, "One"}, {61.5, 120, "Two"}};
        const TrackChoice choice{QList<int>{1}, QList<int>{1}, 0};
        const auto command = [](const SourceList& list) {
            EncoderInputs in = rowInputs(list, 1, profileAt(9), {"/out"});
            OptionSheet sheet;
            fillOptionSheet(sheet);
            applyProfilePick(sheet, 9);
            const auto options = readEncoderOptions(sheet);
            if (const auto* read = std::get_if<EncoderOptions>(&options))
                in.options = *read;
            const auto r = buildEncoderCommand(in, [](const QString&) { return false; });
            const auto* built = std::get_if<EncoderCommand>(&r);
            return built ? built->command.text() : std::get<EncoderCommandError>(r).reason;
        };
        QString before;
        {
            Window first(queuePath());
            first.list.append(clip);
            first.list.setClip(1, 0, 100);
            first.list.setMediaFacts(1, {1.0, 25});
            first.list.setStreamFacts(1, facts);
            first.keeper.saveNow();
            first.list.setTrackChoice(1, choice);
            QTRY_VERIFY(
                readJson(queuePath()).value("rows").toArray().at(0).toObject().contains("tracks"));
            before = command(first.list);
        }
        QVERIFY2(before.contains("0:2") && !before.contains("0:1 ") && before.contains("es.srt"),
                 qPrintable(before));
        Window second(queuePath());
        QCOMPARE(second.list.trackChoice(1), choice);
        QCOMPARE(second.list.streamFacts(1).chapters.size(), 2);
        QCOMPARE(second.list.streamFacts(1).subtitles.at(1).characterSet, "CP1252");
        QCOMPARE(command(second.list), before);

        QJsonObject record = readJson(queuePath()).value("rows").toArray().at(0).toObject();
        QJsonObject streams = record.value("streams").toObject();
        QJsonArray subtitles = streams.value("subtitles").toArray();
        subtitles.append(QJsonObject{{"stream", -1}, {"file", "-i"}});
        subtitles.append(QJsonObject{{"stream", 5}, {"file", "/c/b.srt"}});
        streams.insert("subtitles", subtitles);
        record.insert("streams", streams);
        QCOMPARE(itemFromRecord(record).streams.subtitles.size(), 2);
    }

    // A file that is not a queue this program can read is set aside under a new name, the
    // list starts empty and the user is told why; unreadable records alone are left out.
    void unusableFilesAreSetAside_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("why");
        const QByteArray row = "{\"id\":1,\"file\":\"/v/a.avi\"}";
        QTest::newRow("cut short") << QByteArray("{\"format\":\"clipvane-queue\",\"ver") << 0
                                   << "could not be read: it is damaged";
        QTest::newRow("another program's")
            << QByteArray("{\"format\":\"playlist\",\"version\":1,\"rows\":[]}") << 0
            << "it is not a list of files Clipvane wrote";
        QTest::newRow("a later version")
            << QByteArray("{\"format\":\"clipvane-queue\",\"version\":2,\"rows\":[]}") << 0
            << "another version of Clipvane (format 2)";
        QTest::newRow("no rows") << QByteArray("{\"format\":\"clipvane-queue\",\"version\":1}") << 0
                                 << "it holds no list";
        QTest::newRow("a bad record")
            << QByteArray("{\"format\":\"clipvane-queue\",\"version\":1,\"rows\":[" + row +
                          ",{\"id\":2},7]}")
            << 1 << "2 entries of the list of the last session could not be read";
    }
    void unusableFilesAreSetAside() {
        QFETCH(QByteArray, text);
        QFETCH(int, rows);
        QFETCH(QString, why);
        put(queuePath(), text);
        Window window(queuePath());
        QCOMPARE(window.list.count(), rows);
        QVERIFY2(window.notices.join(' ').contains(why), qPrintable(window.notices.join(' ')));
        // The old file is kept under a dated name; a good one takes its place.
        const QStringList aside =
            QDir(folder->path()).entryList({"queue-damaged-*.json"}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(test::contents(folder->path() + "/" + aside.first()), text);
        QString problem;
        QVERIFY(parseQueue(test::contents(queuePath()), &problem));
    }

    // One window keeps the queue; a second one says so and leaves the file alone.
    void oneWindowKeepsTheQueue() {
        Window first(queuePath());
        first.list.append(clip);
        first.keeper.saveNow();
        Window second(queuePath());
        QVERIFY(first.keeper.isKeeping() && !second.keeper.isKeeping());
        QCOMPARE(second.list.count(), 0);
        QVERIFY(second.notices.join(' ').contains("Another Clipvane window keeps the list"));
        second.list.append(clip);
        second.list.append(clip);
        QTest::qWait(50);
        QCOMPARE(readJson(queuePath()).value("rows").toArray().size(), 1);
    }

    // A finisher's outcome comes into its row and then goes; another queue's never applies.
    // While the finisher works, the row stays Processing and no run takes it.
    void outcomesComeIn() {
        const QString id = "q-1";
        const qint64 me = QCoreApplication::applicationPid();
        QJsonObject underWay{{"row", "5"},
                             {"encoder", "0"},
                             {"finisher", QString::number(me)},
                             {"finisherStart", QString::number(processStartTime(me))}};
        writeQueue(id, underWay, "Processing");
        QVERIFY(writeOutcome(outcomes(), "another", {5, "Fail", "no", "", ""}));
        Window window(queuePath());
        const SourceList::Id row = window.list.idAt(0);
        QCOMPARE(window.list.textAt(0, SourceList::Status), QString("Processing"));
        QVERIFY(window.keeper.isHeld(row));
        QVERIFY(files(outcomes()).isEmpty()); // the other queue's went
        RunSettings settings;
        settings.outputFolder = folder->path();
        QVERIFY(!window.run.start(settings));
        QTRY_VERIFY(!window.run.isRunning()); // nothing to convert: the row is held
        QCOMPARE(window.list.textAt(0, SourceList::Status), QString("Processing"));

        QSignalSpy settled(&window.keeper, &QueueKeeper::settled);
        QVERIFY(writeOutcome(outcomes(), id, {5, "OK", "a note", "/out/clip.flv", "/log"}));
        QVERIFY(settled.wait(10 * QueueKeeper::kWatchMs));
        QCOMPARE(window.list.textAt(0, SourceList::Status), QString("OK"));
        QCOMPARE(window.list.note(row), QString("a note"));
        QCOMPARE(window.list.outputPath(row), QString("/out/clip.flv"));
        QVERIFY(files(outcomes()).isEmpty());
        const QJsonObject kept = readJson(queuePath()).value("rows").toArray().at(0).toObject();
        QCOMPARE(kept.value("status").toString(), QString("OK"));
        QVERIFY(!kept.contains("underWay"));
    }

    // What an earlier session left under way and nobody sees through any more: a file whose
    // encoder had finished is checked, then named or removed with the reason in its row; an
    // encoder still running for a window that was killed is stopped, its file removed, and the
    // row waits to be converted again.
    void leftUnderWay_data() {
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("encoderRuns");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("finished file, killed finisher")
            << true << "clip" << false << "OK" << QStringList{"clip.avi"};
        QTest::newRow("broken file, killed finisher")
            << true << "garbage" << false << "Fail" << QStringList{};
        QTest::newRow("finished file, killed window")
            << false << "clip" << false << "OK" << QStringList{"clip.avi"};
        QTest::newRow("encoder running, killed window")
            << false << "clip" << true << "Waiting" << QStringList{};
    }
    void leftUnderWay() {
        QFETCH(bool, handedOver);
        QFETCH(QString, written);
        QFETCH(bool, encoderRuns);
        QFETCH(QString, status);
        QFETCH(QStringList, left);
        QTemporaryDir out;
        const QString partial = out.filePath(".clip.partial.avi");
        QVERIFY(written == "clip" ? QFile::copy(clip, partial) : (put(partial, "garbage"), true));
        QProcess encoder; // a stand-in, in a group of its own, as the encoder runs
        if (encoderRuns) {
            encoder.start("setsid", {"sleep", "600"});
            QVERIFY(encoder.waitForStarted());
        }
        const qint64 pid = encoderRuns ? encoder.processId() : 0;
        HandedOverItem item;
        item.rowId = 5;
        item.encoderId = pid;
        item.encoderStart = encoderRuns ? processStartTime(pid) : -1;
        item.partial = partial;
        item.partialFile = *identityOf(partial);
        item.output = out.filePath("clip.avi");
        item.input = clip;
        item.clipSeconds = 1;
        item.expectVideo = true;
        QJsonObject underWay = handedOverJson(item);
        if (handedOver) {
            underWay.insert("finisher", "999999999");
            underWay.insert("finisherStart", "1");
        }
        writeQueue("q-2", underWay, "Processing");
        Window window(queuePath());
        QSignalSpy settled(&window.keeper, &QueueKeeper::settled);
        QVERIFY(settled.wait(60000));
        QCOMPARE(window.list.textAt(0, SourceList::Status), status);
        QCOMPARE(files(out.path()), left);
        const QString note = window.list.note(window.list.idAt(0));
        if (status == "Fail")
            QVERIFY2(!note.isEmpty(), "a failure says why");
        if (status == "Waiting")
            QVERIFY(note.contains("the unfinished file was removed"));
        if (encoderRuns)
            QTRY_COMPARE_WITH_TIMEOUT(encoder.state(), QProcess::NotRunning, 10000);
    }

    // Undo puts back each removal as it was, the last first: the same ids, clips and choices,
    // each row where it stood.
    void undoBringsRowsBack() {
        SourceList list;
        for (const char* name : {"a", "b", "c", "d"})
            list.append(name);
        list.setClip(list.idAt(2), 100, 200);
        list.setRowProfile(list.idAt(2), RowProfile{"X(*.mkv)", "X", {{"k", "v"}}});
        const auto names = [&] {
            QString s;
            for (int r = 0; r < list.count(); ++r)
                s += list.textAt(r, SourceList::FileName);
            return s;
        };
        RemovedRows removed;
        QVERIFY(!removed.canUndo());
        removed.remove(list, {2, 0});
        QCOMPARE(names(), QString("bd"));
        removed.removeAll(list);
        QCOMPARE(names(), QString());
        list.append("e");
        QCOMPARE(removed.undo(list), (QList<SourceList::Id>{2, 4}));
        QCOMPARE(names(), QString("bde"));
        removed.undo(list);
        QCOMPARE(names(), QString("abcde"));
        QCOMPARE(list.idAt(2), SourceList::Id(3));
        QCOMPARE(list.clipEnd(3), std::optional<qint64>(200));
        QCOMPARE(list.rowProfile(3)->options, (QList<std::pair<QString, QString>>{{"k", "v"}}));
        QVERIFY(!removed.canUndo());
        QVERIFY(removed.undo(list).isEmpty());
        QCOMPARE(list.append("f"), SourceList::Id(6)); // ids are never given twice
    }

    // The checks before a run look at each profile rows keep for themselves (a problem names
    // the row), and at the picker's only while a row follows it.
    void rowProfilesAreChecked() {
        SourceList list;
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, 5);
        for (const char* name : {"a.avi", "b.avi"})
            list.setClip(list.append(media.filePath(name)), 0, 100);
        OptionSheet mp3;
        fillOptionSheet(mp3);
        applyProfilePick(mp3, 11);
        QVERIFY(mp3.setValue(opt::Audio, opt::DisableAudio, "Yes"));
        list.setRowProfile(2, makeRowProfile(11, mp3));
        const std::optional<QString> refused = checkRowsBeforeRun(list, 5, &sheet, folder->path());
        QVERIFY2(refused && refused->startsWith("b.avi") && refused->contains("Disable Audio"),
                 qPrintable(refused.value_or("nothing")));
        list.setRowProfile(2, makeRowProfile(7, sheet));
        QCOMPARE(rowEncoding(list, 2, 5, &sheet).profileIndex, 7);
        QCOMPARE(checkRowsBeforeRun(list, 0, &sheet, folder->path()),
                 std::optional<QString>(kPickAProfile));
        list.setRowProfile(1, makeRowProfile(5, sheet));
        QVERIFY(!checkRowsBeforeRun(list, 0, &sheet, folder->path()));
    }
};

QTEST_GUILESS_MAIN(TestQueue)
#include "tst_queue.moc"
