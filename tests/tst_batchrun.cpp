#include "app/clipdialog.h"
#include "app/encoderlogdialog.h"
#include "app/mainwindow.h"
#include "app/optionsheetwidget.h"
#include "app/profilepicker.h"
#include "base/apppaths.h"
#include "base/textvalues.h"
#include "convert/runchecks.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"
#include "sources/fileselect.h"
#include "sources/mediaprobe.h"
#include "tests/support/testsupport.h"
#include "ui_clipdialog.h"
#include "ui_mainwindow.h"
#include "ui_progresspanel.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <unistd.h>

using namespace clipvane;

// End to end: real clips, real mp.dll and fp.dll, the real window on the offscreen platform.
class TestBatchRun : public QObject {
    Q_OBJECT

    QTemporaryDir clips;
    QString clip3s; // 3 s, 640x480, MPEG-4 + MP3
    QString clip1s; // 1 s
    QString wide;   // 2 s, 640x360 (16:9)
    QString narrow; // 2 s, 720x576 with pixels 16:15 wide (4:3)
    std::unique_ptr<test::ProgramFolder> folder;
    std::unique_ptr<QTemporaryDir> out;
    test::RecordingDesktop desktop;
    test::RecordingMessages messages;
    test::RecordingKeys keys;
    std::unique_ptr<MainWindow> form;
    QStringList dialogAnswer;
    int processEnds = 0;

    void setSetting(const char* key, const QString& value) {
        writeSetting(settingsFilePath(), "set", key, value);
    }
    void pickProfile(int index) {
        form->ui()->profileCombo->setCurrentIndex(index - 1);
        form->applySelectedProfile();
    }
    SourceList& list() { return form->sources(); }
    // Trims a row as the clip dialog would; an empty start keeps the row's own.
    void trim(int row, const QString& start, const QString& end) {
        const SourceList::Id id = list().idAt(row);
        list().setClip(id, start.isEmpty() ? list().clipStart(id) : parseClipTime(start),
                       parseClipTime(end));
    }
    // Highlights one row alone, as a click does.
    void select(int row) {
        form->ui()->sourceListView->selectionModel()->setCurrentIndex(
            list().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    QStringList statuses() {
        QStringList s;
        for (int r = 0; r < list().count(); ++r)
            s << list().textAt(r, SourceList::Status);
        return s;
    }
    void checkPanelClosed() {
        QVERIFY(!form->ui()->progressPanel->isVisible());
        QCOMPARE(form->ui()->progressPanel->ui()->itemProgressBar->value(), 0);
        QCOMPARE(form->ui()->progressPanel->ui()->totalProgressBar->value(), 0);
        QVERIFY(!form->batch().isRunning());
        QVERIFY(!form->batchProgress().clockRunning());
    }
    // Convert Now, then wait until the run has ended and its end has been said.
    void convertNow() {
        QSignalSpy ended(&form->runCompletion(), &RunCompletion::finished);
        form->convertAll();
        if (form->batch().isRunning() || !ended.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 180000);
    }
    static double duration(const QJsonObject& probe) {
        return probe.value("format").toObject().value("duration").toString().toDouble();
    }
    static double seconds(const QString& file) { return duration(test::probeMedia(file)); }
    static void put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    // A stand-in for a tool that hangs: it says a word of progress, then nothing, for ever.
    QString hangingTool() {
        const QString path = clips.filePath("hang.sh");
        put(path, "#!/bin/sh\necho 'frame=    1 fps=0.0 time=00:00:00.04 speed=1x' >&2\n"
                  "exec sleep 600\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    // Everything in the output folder, hidden files too.
    QStringList outputs(const QString& folder = {}) {
        return QDir(folder.isEmpty() ? out->path() : folder)
            .entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // Another window, or another copy of the program, converting at the same time: a run of
    // its own that shares only the files.
    struct OtherWindow {
        SourceList list;
        OptionSheet sheet;
        std::unique_ptr<BatchRun> batch;
        OtherWindow() {
            fillOptionSheet(sheet);
            applyProfilePick(sheet, 2);
            batch = std::make_unique<BatchRun>(
                BatchRun::Environment{&list, &sheet, [] { return 2; }, nullptr});
        }
    };

    void openForm() {
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &keys;
        s.endProcess = [this] { ++processEnds; };
        s.openFiles = [this](QWidget*, const QString&) { return dialogAnswer; };
        form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        form->show();
    }
private slots:
    void initTestCase() {
        clip3s = clips.filePath("holiday.avi");
        clip1s = clips.filePath("short.avi");
        QVERIFY(test::makeStandardClip(clip3s, 3.0));
        QVERIFY(test::makeStandardClip(clip1s, 1.0, "320x240"));
        wide = clips.filePath("wide.avi");
        narrow = clips.filePath("narrow.mkv");
        QVERIFY(test::makeStandardClip(wide, 2.0, "640x360"));
        QVERIFY(test::makeClip(narrow,
                               {"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:sar=16/15", "-f",
                                "lavfi", "-i", "sine", "-t", "2"},
                               {"-c:v", "mpeg4", "-c:a", "libmp3lame"}));
    }

    void init() {
        folder = std::make_unique<test::ProgramFolder>();
        out = std::make_unique<QTemporaryDir>();
        desktop = test::RecordingDesktop();
        messages.shown.clear();
        messages.countdownRunsOut = true;
        messages.quitAnswer = QuitChoice::FinishInBackground;
        messages.confirmAnswer = true;
        messages.onMessage = [this](const QString& text) {
            desktop.events.append("message:" + text);
        };
        keys.sent.clear();
        openForm();
        setSetting("outputfolder", out->path());
        pickProfile(2);
    }
    void cleanup() {
        form.reset();
        folder.reset();
        out.reset();
    }

    void convertsTrimmedClip_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("container");
        QTest::newRow("flv") << 2 << "flv";
        QTest::newRow("swf") << 3 << "swf";
    }
    void convertsTrimmedClip() {
        QFETCH(int, profile);
        QFETCH(QString, container);
        pickProfile(profile);
        form->addFile(clip3s);
        QVERIFY(test::waitForProbes(list()));
        trim(0, "0:00:01", "0:00:03");
        QStringList captions;
        connect(&form->batchProgress(), &BatchProgress::captionChanged,
                [&](const QString& c) { captions << c; });
        convertNow();

        const QString output = out->path() + "/holiday." + container;
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY(captions.contains("Progress...." + clip3s + " To " + output));
        const QJsonObject probe = test::probeMedia(output);
        QCOMPARE(probe.value("format").toObject().value("format_name").toString(), container);
        const QJsonObject video = test::streamOf(probe, "video");
        QCOMPARE(video.value("codec_name").toString(), QString("flv1"));
        QCOMPARE(video.value("width").toInt(), 320);
        QCOMPARE(video.value("height").toInt(), 240);
        const QJsonObject audio = test::streamOf(probe, "audio");
        QCOMPARE(audio.value("codec_name").toString(), QString("mp3"));
        QCOMPARE(audio.value("sample_rate").toString(), QString("44100"));
        QCOMPARE(audio.value("channels").toInt(), 2);
        if (container == "flv") {
            QVERIFY2(qAbs(duration(probe) - 2.0) <= 0.1,
                     qPrintable(QString::number(duration(probe))));
        } else {
            // SWF carries no duration; count the frames at 25 fps instead.
            const int frames = video.value("nb_read_frames").toString().toInt();
            QVERIFY2(qAbs(frames - 50) <= 2, qPrintable(QString::number(frames)));
        }
        QCOMPARE(messages.shown, QStringList{"info:Conversion completed!"});
        QCOMPARE(desktop.opened, QStringList{out->path()});
        QCOMPARE(desktop.shutdowns, 0);
        checkPanelClosed();
        const QString log = EncoderLogDialog(clip3s, list().logPath(list().idAt(0))).text();
        QVERIFY2(log.contains("Output #0") && log.contains("time=00:00:0"), qPrintable(log));
        QVERIFY(form->ui()->progressPanel->ui()->timeLeftLabel->text().startsWith("Time left: "));
        // The output is compared with the clip it was made from (the first second left out):
        // a Quality figure shows once the comparison, at a low priority, is done.
        QTRY_VERIFY_WITH_TIMEOUT(form->batch().scorer().isIdle(), 600000);
        const std::optional<OutputScore> score = list().score(list().idAt(0));
        QVERIFY(score);
        qInfo("%s %s", qPrintable(container), qPrintable(score->text()));
        QVERIFY(score->ssim > 0.7);
        QCOMPARE(list().textAt(0, SourceList::Quality), score->text());
    }

    // A first start, with no settings at all: a dropped 16:9 file becomes an MP4 of the same
    // shape beside the program, with no other step.
    void aFirstStartConvertsToMp4() {
        form.reset();
        QVERIFY(QFile::remove(settingsFilePath()));
        openForm();
        form->addDroppedFiles({wide});
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(messages.shown, QStringList{"info:Conversion completed!"});
        const QJsonObject probe = test::probeMedia(folder->path() + "/wide.mp4");
        QVERIFY(probe.value("format").toObject().value("format_name").toString().contains("mp4"));
        const QJsonObject video = test::streamOf(probe, "video");
        QCOMPARE(video.value("codec_name").toString(), QString("h264"));
        QCOMPARE(video.value("width").toInt() * 9, video.value("height").toInt() * 16);
        QCOMPARE(test::streamOf(probe, "audio").value("codec_name").toString(), QString("aac"));
    }

    // Beside the source: a file goes into its source's folder; one whose folder takes no new
    // files (read-only even for the superuser) goes to the output folder, and its row says so.
    // The status bar and the rows' tooltips say where each file goes before the run.
    void nextToTheSource() {
        QTemporaryDir sources;
        const QString locked = sources.filePath("locked");
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(QFile::copy(clip1s, sources.filePath("a.avi")));
        QVERIFY(QFile::copy(clip1s, locked + "/b.avi"));
        // chmod binds a user; the superuser only an immutable folder (or a read-only mount).
        const bool root = ::geteuid() == 0;
        QProcess::execute(root ? "chattr" : "chmod", {root ? "+i" : "555", locked});
        const auto unlock = qScopeGuard([&] {
            QProcess::execute(root ? "chattr" : "chmod", {root ? "-i" : "755", locked});
        });
        if (::access(QFile::encodeName(locked).constData(), W_OK) == 0)
            QSKIP("no folder here can be made read-only (chattr needs ext4 or similar)");
        setSetting("nexttosource", "1");
        form->addFile(sources.filePath("a.avi"));
        form->addFile(locked + "/b.avi");
        QVERIFY(test::waitForProbes(list()));
        form->updateStatusBar();
        QVERIFY(
            form->findChild<QLabel*>("outputStatusLabel")->text().contains("beside each source"));
        QCOMPARE(form->plannedOutput(0), sources.filePath("a.flv"));
        QCOMPARE(form->plannedOutput(1),
                 out->path() + "/b.flv (the source's own folder cannot be written)");
        convertNow();
        QCOMPARE(statuses(), (QStringList{"OK", "OK"}));
        QVERIFY(QFile::exists(sources.filePath("a.flv")));
        QVERIFY(QFile::exists(out->path() + "/b.flv"));
        QCOMPARE(list().note(list().idAt(1)),
                 "Saved in the output folder because " + locked + " cannot be written.");
        QCOMPARE(desktop.opened, QStringList{sources.path()});
    }

    // An output folder an older program wrote in Windows-1252 ("Vid\xE9os") is that folder,
    // not a new one with a garbled name; the status bar says it was read so.
    void anOutputFolderInWindows1252() {
        form.reset();
        put(settingsFilePath(), "[set]\noutputfolder=" + out->path().toUtf8() + "/Vid\xE9os\n");
        QVERIFY(QDir(out->path()).mkdir("Vid\u00e9os"));
        openForm();
        QTRY_VERIFY(form->statusBar()->currentMessage().contains("Windows-1252"));
        pickProfile(2);
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(outputs(out->path() + "/Vid\u00e9os"), QStringList{"short.flv"});
        QCOMPARE(QDir(out->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"Vid\u00e9os"});
    }

    // Two presets saved, the program started again and one of them picked: the conversion
    // makes what that preset says.
    void convertsWithAPresetAfterARestart() {
        form->sheet().setValue("Video Options", "Video Size", "176x144");
        form->sheet().setValue("Audio Options", "Audio Channel", "1");
        QVERIFY(form->picker().saveAsPreset("Small mono"));
        pickProfile(2);
        form->sheet().setValue("Audio Options", "Sample Rate", "22050");
        QVERIFY(form->picker().saveAsPreset("Low rate"));
        form->close();
        openForm();
        QComboBox* picker = form->ui()->profileCombo;
        QCOMPARE(picker->currentText(), QString("Low rate"));
        picker->setCurrentIndex(picker->findText("Small mono"));
        form->applySelectedProfile();
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        const QJsonObject probe = test::probeMedia(out->path() + "/short.flv");
        QCOMPARE(test::streamOf(probe, "video").value("width").toInt(), 176);
        QCOMPARE(test::streamOf(probe, "video").value("height").toInt(), 144);
        QCOMPARE(test::streamOf(probe, "audio").value("channels").toInt(), 1);
        QCOMPARE(test::streamOf(probe, "audio").value("sample_rate").toString(), QString("44100"));
    }

    // A 10.04 s file reads 0:00:10; untrimmed it converts whole, and typed hundredths reach the
    // output.
    void clipTimesToTheHundredth_data() {
        QTest::addColumn<QString>("start"); // empty: as probed
        QTest::addColumn<QString>("end");
        QTest::addColumn<double>("lasts");
        QTest::newRow("untrimmed") << ""
                                   << "" << 10.04;
        QTest::newRow("typed hundredths") << "0:00:01.50"
                                          << "0:00:03.25" << 1.75;
    }
    void clipTimesToTheHundredth() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(double, lasts);
        const QString file = clips.filePath("ten.avi");
        if (!QFile::exists(file))
            QVERIFY(test::makeClip(file, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25"},
                                   {"-frames:v", "251", "-c:v", "mpeg4"}));
        form->addFile(file);
        QVERIFY(test::waitForProbes(list()));
        const auto id = list().idAt(0);
        QCOMPARE(list().text(id, SourceList::End), QString("0:00:10"));
        if (!start.isEmpty())
            trim(0, start, end);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        const double seconds = duration(test::probeMedia(out->path() + "/ten.flv"));
        QVERIFY2(qAbs(seconds - lasts) <= 0.05, qPrintable(QString::number(seconds)));
    }

    // (With the quality score turned off: the output is not compared.)
    void disableAudioDropsTheAudioStream() {
        form->sheet().setValue("Audio Options", "Disable Audio", "Yes");
        setSetting("qualityscore", "0");
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY(form->batch().scorer().isIdle());
        const QJsonObject probe = test::probeMedia(out->path() + "/short.flv");
        QVERIFY(!test::streamOf(probe, "video").isEmpty());
        QVERIFY(test::streamOf(probe, "audio").isEmpty());
    }

    // What would fail every item is said once, before anything starts.
    void checksBeforeARun_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("sampleRate");
        QTest::addColumn<bool>("folderIsAFile");
        QTest::addColumn<QString>("message");
        QTest::newRow("header profile")
            << 1 << "44100" << false << "Pick an output profile under Profile: first.";
        QTest::newRow("FLV at 24000 Hz")
            << 2 << "24000" << false
            << "FLV files cannot carry sound at 24000 Hz. Choose 11025, 22050, 44100, 48000 Hz "
               "under Sample Rate.";
        QTest::newRow("SWF at 48000 Hz")
            << 3 << "48000" << false
            << "SWF files cannot carry sound at 48000 Hz. Choose 11025, 22050, 44100 Hz under "
               "Sample Rate.";
        QTest::newRow("output folder cannot be made") << 2 << "44100" << true << "";
    }
    void checksBeforeARun() {
        QFETCH(int, profile);
        QFETCH(QString, sampleRate);
        QFETCH(bool, folderIsAFile);
        QFETCH(QString, message);
        pickProfile(profile);
        form->sheet().setValue("Audio Options", "Sample Rate", sampleRate);
        if (folderIsAFile) {
            QFile blocker(out->filePath("blocker"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            setSetting("outputfolder", blocker.fileName() + "/sub");
            message = "The output folder " + blocker.fileName() +
                      "/sub cannot be created or written. Choose another under Video Settings.";
        }
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(messages.shown, QStringList{"warning:" + message});
        QCOMPARE(statuses(), QStringList{""});
        QVERIFY(desktop.opened.isEmpty());
        QVERIFY(!form->ui()->progressPanel->isVisible());
    }

    void existingOutput_data() {
        QTest::addColumn<QString>("existedfile");
        QTest::addColumn<QString>("written");
        QTest::newRow("keep old, new name") << "0"
                                            << "short_New.flv";
        QTest::newRow("unset means new name") << ""
                                              << "short_New.flv";
        QTest::newRow("overwrite") << "1"
                                   << "short.flv";
    }
    void existingOutput() {
        QFETCH(QString, existedfile);
        QFETCH(QString, written);
        setSetting("existedfile", existedfile);
        QFile old(out->path() + "/short.flv");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        const QJsonObject probe = test::probeMedia(out->path() + "/" + written);
        QCOMPARE(test::streamOf(probe, "video").value("codec_name").toString(), QString("flv1"));
        if (written != "short.flv") {
            QFile check(out->path() + "/short.flv");
            QVERIFY(check.open(QIODevice::ReadOnly));
            QCOMPARE(check.readAll(), QByteArray("old contents"));
        }
    }

    void missingInputEndsTheRun() {
        form->addFile(clip1s);
        const QString missing = clips.filePath("gone.avi");
        QFile::copy(clip1s, missing);
        form->addFile(missing);
        form->addFile(clip1s);
        QVERIFY(test::waitForProbes(list()));
        QFile::remove(missing);
        // No encoder starts behind the missing file, and the rows after it are not touched.
        int encoders = 0;
        connect(&form->batch(), &BatchRun::encoderStarted, this, [&] { ++encoders; });
        convertNow();
        QCOMPARE(encoders, 1);
        QCOMPARE(statuses(), (QStringList{"OK", "", ""}));
        QCOMPARE(messages.shown, QStringList{"error:Invalid input file name. " + missing});
        QVERIFY(desktop.opened.isEmpty());
        checkPanelClosed();
        QFile::remove(clips.filePath("gone.avi"));
    }

    void cancelDuringSecondItem() {
        for (int i = 0; i < 3; ++i)
            form->addFile(clip3s);
        list().setText(list().idAt(2), SourceList::Status, "Earlier");
        setSetting("existedfile", "0");
        qint64 secondPid = 0;
        int started = 0;
        connect(&form->batch(), &BatchRun::encoderStarted, [&](qint64 pid) {
            if (++started == 2) {
                secondPid = pid;
                form->ui()->progressPanel->ui()->cancelButton->click();
            }
        });
        convertNow();
        QCOMPARE(statuses(), (QStringList{"OK", "Cancel", ""})); // nothing of an earlier run
        QCOMPARE(messages.shown,
                 (QStringList{"cancel choice", "info:Conversion Canceled by the user!"}));
        QVERIFY(keys.sent.contains(QString("fp.dll:%1:quit").arg(secondPid)));
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(secondPid), 10000);
        QVERIFY(desktop.opened.isEmpty());
        checkPanelClosed();
        const QString clock = form->ui()->progressPanel->ui()->convertingTimeLabel->text();
        QTest::qWait(1200);
        QCOMPARE(form->ui()->progressPanel->ui()->convertingTimeLabel->text(),
                 clock); // the clock stopped too
    }

    void failingEncoderIsAFailNotOK() {
        const QString broken = clips.filePath("broken.avi");
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a video at all\n");
        f.close();
        form->addFile(broken);
        QVERIFY(test::waitForProbes(list()));
        trim(0, "", "0:00:02");
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), (QStringList{"Fail", "OK"}));
        const QString note = list().note(list().idAt(0));
        QVERIFY2(note.contains("exit code") && note.contains("broken.avi"), qPrintable(note));
        QCOMPARE(messages.shown, QStringList{"warning:Conversion completed!\n1 of 2 files failed. "
                                             "Hover over a failed row to see why."});

        // Audio the encoder refuses (six channels of MP3, from a hand-edited value).
        form->clearFiles();
        form->sheet().setValue("Audio Options", "Audio Channel", "6");
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"Fail"});
        const QString reason = list().note(list().idAt(0));
        QVERIFY2(reason.contains("Specified channel layout '5.1' is not supported"),
                 qPrintable(reason));
        // The row's whole log, from the first line FFmpeg wrote to its last.
        const QString log = EncoderLogDialog(clip1s, list().logPath(list().idAt(0))).text();
        QVERIFY2(log.contains("Input #0") && log.contains("Conversion failed!"), qPrintable(log));
        // The failed item leaves nothing under its output name (short_New.flv, as the first
        // run wrote short.flv), and its log is its own.
        QCOMPARE(QDir(out->path()).entryList(QDir::Files), QStringList{"short.flv"});
        QVERIFY(
            !QDir(cacheFolder())
                 .entryList({QString("encoder-%1-*.log").arg(QCoreApplication::applicationPid())})
                 .isEmpty());
    }

    void aFailedItemKeepsAnOlderFile_data() {
        QTest::addColumn<QString>("existedfile");
        QTest::newRow("new names") << "0";
        QTest::newRow("overwrite") << "1";
    }
    void aFailedItemKeepsAnOlderFile() {
        QFETCH(QString, existedfile);
        setSetting("existedfile", existedfile);
        QFile old(out->path() + "/short.flv");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older output");
        old.close();
        form->sheet().setValue("Audio Options", "Audio Channel", "6");
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"Fail"});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("older output"));
        // Nothing else is left behind, not even the hidden name an overwrite writes to.
        QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"short.flv"});
    }

    void relativeOutputFolderAndUnusableCache() {
        setSetting("outputfolder", "converted"); // not there yet: the run makes it
        // A cache that is a file: the logs go elsewhere, the conversion goes on.
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        QFile blocker(out->filePath("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_CACHE_HOME", blocker.fileName().toUtf8());
        form->addFile(clip1s);
        convertNow();
        qputenv("XDG_CACHE_HOME", cache);
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY(QFile::exists(folder->path() + "/converted/short.flv"));
        QCOMPARE(desktop.opened, QStringList{folder->path() + "/converted"});
    }

    void sameNameInOneBatchTakesANewName() {
        setSetting("existedfile", "1");
        const QString mkv = clips.filePath("short.mkv");
        QVERIFY(test::makeStandardClip(mkv, 1.0, "320x240"));
        form->addFile(clip1s);
        form->addFile(mkv);
        convertNow();
        QCOMPARE(statuses(), (QStringList{"OK", "OK"}));
        for (const char* name : {"/short.flv", "/short_New.flv"})
            QCOMPARE(test::streamOf(test::probeMedia(out->path() + name), "video")
                         .value("codec_name")
                         .toString(),
                     QString("flv1"));
        QVERIFY(list().note(list().idAt(1)).contains("short.flv was written by an earlier file"));
    }

    void aModalDialogDoesNotHoldTheBatch() {
        form->addFile(clip1s);
        form->addFile(clip1s);
        QStringList seenWhileOpen;
        bool opened = false;
        connect(&form->batch(), &BatchRun::encoderStarted, form.get(), [&](qint64) {
            if (opened)
                return;
            opened = true;
            QTimer::singleShot(0, form.get(), [&] {
                QDialog dialog(form.get());
                QTimer watch;
                connect(&watch, &QTimer::timeout, &dialog, [&] {
                    if (statuses() == QStringList{"OK", "OK"} || !form->batch().isRunning()) {
                        seenWhileOpen = statuses();
                        dialog.reject();
                    }
                });
                watch.start(50);
                QTimer::singleShot(60000, &dialog, &QDialog::reject);
                dialog.exec();
            });
        });
        convertNow();
        QCOMPARE(seenWhileOpen, (QStringList{"OK", "OK"}));
    }

    void convertNowDuringAProbeWaitsForIt() {
        // Convert Now pressed while the first of two chosen files is still being examined.
        QSignalSpy ended(&form->batch(), &BatchRun::runFinished);
        dialogAnswer = {clip1s, clip3s};
        form->addFiles();
        form->convertAll();
        QVERIFY(form->batch().waitingForProbes() || form->batch().isRunning());
        QVERIFY(ended.wait(120000));
        QCOMPARE(statuses(), (QStringList{"OK", "OK"}));
        QCOMPARE(list().textAt(1, SourceList::End), QString("0:00:03"));
    }

    void anOpenOptionEditorIsCommitted() {
        OptionSheetWidget* grid = form->ui()->optionSheetView;
        QTreeWidgetItem* row = grid->itemFor("Video Options", "Video Bitrate");
        QVERIFY(row);
        grid->setCurrentItem(row, 1); // the grid edits the current value at once
        auto* editor = qobject_cast<QComboBox*>(grid->indexWidget(grid->currentIndex()));
        QVERIFY(editor);
        editor->setCurrentText("768");
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(form->sheet().value("Video Options", "Video Bitrate").value_or(""),
                 QString("768"));
        QCOMPARE(statuses(), QStringList{"OK"});
    }

    void hostileFileNameConverts() {
        const QString name = clips.filePath("a \"b\" $HOME;rm ñ映.avi");
        QVERIFY(QFile::copy(clip1s, name));
        form->addFile(name);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        const QJsonObject probe = test::probeMedia(out->path() + "/a \"b\" $HOME;rm ñ映.flv");
        QCOMPARE(test::streamOf(probe, "video").value("codec_name").toString(), QString("flv1"));
    }

    void autoshutCountsDownFirst_data() {
        QTest::addColumn<bool>("runsOut");
        QTest::newRow("the minute runs out") << true;
        QTest::newRow("cancelled") << false;
    }
    void autoshutCountsDownFirst() {
        QFETCH(bool, runsOut);
        setSetting("autoshut", "1");
        messages.countdownRunsOut = runsOut;
        QList<bool> notices;
        connect(&form->batch(), &BatchRun::busyChanged, [&](bool busy) {
            if (busy)
                notices << !form->ui()->progressPanel->ui()->shutdownNoticeLabel->isHidden();
        });
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(notices, QList<bool>{true});
        QCOMPARE(messages.shown.first(), QString("countdown:60"));
        const QStringList after{"message:Conversion completed!", "open:" + out->path()};
        QCOMPARE(desktop.events, runsOut ? QStringList{"shutdown"} + after : after);
    }

    void wholeListBar_data() {
        QTest::addColumn<int>("items");
        QTest::addColumn<QList<int>>("values");
        QTest::newRow("3 items") << 3 << QList<int>{33, 66, 99, 100, 0};
        QTest::newRow("8 items") << 8 << QList<int>{12, 24, 36, 48, 60, 72, 84, 96, 100, 0};
    }
    void wholeListBar() {
        QFETCH(int, items);
        QFETCH(QList<int>, values);
        for (int i = 0; i < items; ++i)
            form->addFile(clip1s);
        QList<int> seen;
        connect(&form->batchProgress(), &BatchProgress::totalProgressChanged,
                [&](int v) { seen << v; });
        QList<int> track;
        connect(&form->batchProgress(), &BatchProgress::itemProgressChanged,
                [&](int v) { track << v; });
        convertNow();
        QCOMPARE(seen, values);
        QCOMPARE(track.first(), 10);
        QVERIFY(track.contains(100));
        for (int v : track)
            QVERIFY(v == 0 || v >= 10);
    }

    // Taking rows out during a run: a waiting row is just left out; the row under way is
    // stopped (once the user agrees) as "Skip this file" stops it, leaving no file, and the
    // run goes on; Undo brings the rows back with their clips.
    void rowsRemovedDuringRun_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("agree");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("files");
        QTest::newRow("a waiting row") << "row 1" << true << QStringList{"OK", "OK"} << 2;
        QTest::newRow("the row under way") << "row 0" << true << QStringList{"OK", "OK"} << 2;
        QTest::newRow("the row under way, refused")
            << "row 0" << false << QStringList{"OK", "OK", "OK"} << 3;
        QTest::newRow("clear the list") << "all" << true << QStringList{} << 0;
    }
    void rowsRemovedDuringRun() {
        QFETCH(QString, what);
        QFETCH(bool, agree);
        QFETCH(QStringList, rows);
        QFETCH(int, files);
        for (int i = 0; i < 3; ++i)
            form->addFile(clip3s);
        QVERIFY(test::waitForProbes(list()));
        trim(1, "0:00:01", "0:00:02");
        messages.confirmAnswer = agree;
        qint64 first = 0;
        connect(
            &form->batch(), &BatchRun::encoderStarted, this,
            [&](qint64 pid) {
                first = pid;
                if (what == "all") {
                    form->clearFiles();
                    return;
                }
                select(what.right(1).toInt());
                form->removeSelectedFile();
            },
            Qt::SingleShotConnection);
        convertNow();
        QCOMPARE(statuses(), rows);
        const bool underWay = what != "row 1";
        QCOMPARE(messages.shown.first().startsWith("confirm:"), underWay);
        if (underWay && agree) // told to quit, not left to finish
            QVERIFY(keys.sent.contains(QString("fp.dll:%1:quit").arg(first)));
        QTRY_COMPARE_WITH_TIMEOUT(outputs().size(), files, 10000);

        for (const QString& name : outputs())
            QVERIFY2(!name.startsWith('.'), qPrintable(name));
        checkPanelClosed();
        if (!agree)
            return;
        // Undo: the rows come back where they stood, with their clips.
        form->ui()->actionUndo->trigger();
        QCOMPARE(list().count(), 3);
        QCOMPARE(list().textAt(1, SourceList::Start), QString("0:00:01"));
        QVERIFY(!form->ui()->actionUndo->isEnabled());
    }

    // EXIT during a run asks; "Keep converting" keeps the window and the run. (What the other
    // answers do is seen across processes in tst_queuerun.)
    void quittingCanKeepConverting() {
        form->addFile(clip3s);
        form->addFile(clip1s);
        messages.quitAnswer = QuitChoice::KeepConverting;
        processEnds = 0;
        connect(
            &form->batch(), &BatchRun::encoderStarted, this, [&] { form->quit(); },
            Qt::SingleShotConnection);
        convertNow();
        QCOMPARE(messages.shown.first(), QString("quit choice:1:1"));
        QCOMPARE(processEnds, 0);
        QVERIFY(form->isVisible());
        QCOMPARE(statuses(), (QStringList{"OK", "OK"}));
    }

    // Waiting rows move during a run (the row under way stays put), and the run converts
    // them in their new order; the item page follows the highlight.
    void waitingRowsMoveDuringARun() {
        const QString a = clips.filePath("a.avi"), b = clips.filePath("b.avi"),
                      c = clips.filePath("c.avi");
        for (const QString& name : {a, b, c}) {
            if (!QFile::exists(name))
                QVERIFY(QFile::copy(clip1s, name));
            form->addFile(name);
        }
        QVERIFY(test::waitForProbes(list()));
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QStringList started;
        QTreeView* view = form->ui()->sourceListView;
        connect(&form->batch(), &BatchRun::itemStarted, this,
                [&](SourceList::Id, const QString& input) {
                    started << QFileInfo(input).fileName();
                    if (started.size() != 1)
                        return;
                    form->activateWindow();
                    view->setFocus();
                    // The row under way does not move.
                    select(0);
                    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
                    // A waiting one does.
                    select(1);
                    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
                    QCOMPARE(form->sheet().value("General", "Item Name"), std::optional(b));
                });
        convertNow();
        QCOMPARE(started, (QStringList{"a.avi", "c.avi", "b.avi"}));
        QCOMPARE(list().textAt(2, SourceList::FileName), b);
        QCOMPARE(statuses(), (QStringList{"OK", "OK", "OK"}));
    }

    // Rows with profiles of their own: one run writes an MP4 and a WebM, and the Profile
    // column says which each row makes.
    void eachRowItsOwnProfile() {
        const QString a = clips.filePath("own1.avi"), b = clips.filePath("own2.avi");
        for (const QString& name : {a, b}) {
            if (!QFile::exists(name))
                QVERIFY(QFile::copy(clip1s, name));
            form->addFile(name);
        }
        QVERIFY(test::waitForProbes(list()));
        for (const auto& [row, profile] : {std::pair{0, 5}, std::pair{1, 7}}) {
            pickProfile(profile);
            form->sheet().setValue("Video Options", "Encoding Speed", "Fast");
            select(row);
            form->contextMenu()->findChild<QAction*>("contextApplyProfile")->trigger();
        }
        pickProfile(2); // the picker's own profile is used by neither
        QCOMPARE(list().textAt(0, SourceList::Profile), QString("MP4 H.264"));
        QCOMPARE(list().textAt(1, SourceList::Profile), QString("WebM VP9"));
        QVERIFY(form->plannedOutput(1).endsWith("own2.webm"));
        convertNow();
        QCOMPARE(statuses(), (QStringList{"OK", "OK"}));
        QCOMPARE(outputs(), (QStringList{"own1.mp4", "own2.webm"}));
        for (const auto& [file, codec] : {std::pair{"own1.mp4", "h264"}, {"own2.webm", "vp9"}})
            QCOMPARE(test::streamOf(test::probeMedia(out->filePath(file)), "video")["codec_name"]
                         .toString(),
                     QString(codec));
        // Back to the picker: the row follows it again.
        select(1);
        form->ui()->actionFollowPicker->trigger();
        QCOMPARE(list().textAt(1, SourceList::Profile), QString("FLV"));
    }

    // Closing the window leaves a working encoder to finish its file, which then takes its
    // name; a stalled one is ended, and what it wrote goes.
    void closingMidBatch_data() {
        QTest::addColumn<bool>("stalled");
        QTest::newRow("a working encoder finishes") << false;
        QTest::newRow("a stalled encoder is ended") << true;
    }
    void closingMidBatch() {
        QFETCH(bool, stalled);
        const QString longClip = clips.filePath("long.avi");
        if (!QFile::exists(longClip))
            QVERIFY(test::makeStandardClip(longClip, 60.0));
        QProcess helper;
        QStringList args{longClip, out->path(), folder->path()};
        if (stalled) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("CLIPVANE_FFMPEG", hangingTool());
            helper.setProcessEnvironment(env);
            args << "1500";
        }
        helper.start(QStringLiteral(CLOSEMIDBATCH), args);
        QVERIFY(helper.waitForFinished(60000));
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), 0);
        const qint64 encoder = helper.readAllStandardOutput().trimmed().toLongLong();
        QVERIFY(encoder > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(encoder), stalled ? 15000 : 120000);
        if (stalled) {
            QTRY_COMPARE_WITH_TIMEOUT(outputs(), QStringList(), 10000);
            return;
        }
        // The window is gone; the encoder went on to the end of its file, which was checked
        // and named.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out->path() + "/long.flv"), 30000);
        // The whole clip, finalised: its duration within a frame of 60 s and every frame there.
        const QJsonObject probe = test::probeMedia(out->path() + "/long.flv");
        // (The audio's last MP3 frame may end up to 0.1 s past the video.)
        QVERIFY2(qAbs(duration(probe) - 60.0) <= 0.1, qPrintable(QString::number(duration(probe))));
        const int frames =
            test::streamOf(probe, "video").value("nb_read_frames").toString().toInt();
        QCOMPARE(frames, 1500);
        QCOMPARE(outputs(), QStringList{"long.flv"});
    }

    void clipDialogTrimsTheConversion() {
        form->addFile(clip3s);
        QVERIFY(test::waitForProbes(list()));
        const QString videoTime = list().textAt(0, SourceList::VideoTime);
        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        QString caption;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<ClipDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            caption = dialog->windowTitle();
            dialog->ui()->startSlider->setValue(1);
            dialog->onStartSliderReleased();
            dialog->ui()->endSlider->setValue(3);
            dialog->onEndSliderReleased();
            QCOMPARE(dialog->ui()->clipTimeEdit->text(), QString("0:00:02"));
            dialog->ui()->okButton->click();
        });
        emit view->doubleClicked(view->model()->index(0, 0));
        QCOMPARE(caption, "Clip Time  -  " + clip3s);
        QCOMPARE(list().textAt(0, SourceList::Start), QString("0:00:01"));
        QCOMPARE(list().textAt(0, SourceList::End), QString("0:00:03"));
        QCOMPARE(list().textAt(0, SourceList::VideoTime), videoTime);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        const double seconds = duration(test::probeMedia(out->path() + "/holiday.flv"));
        QVERIFY2(qAbs(seconds - 2.0) <= 0.1, qPrintable(QString::number(seconds)));
    }

    // Several files at once: each its own row, never more encoders than asked for, no two
    // outputs alike, and a stop or a failure in one that leaves the others as they should be.
    void convertsSeveralAtOnce_data() {
        QTest::addColumn<QString>("scenario");
        QTest::newRow("four clips, two at a time") << "all";
        QTest::newRow("one fails beside another") << "failure";
        QTest::newRow("cancel stops both") << "cancel";
    }
    void convertsSeveralAtOnce() {
        QFETCH(QString, scenario);
        setSetting("parallel", "2");
        const QString mkv = clips.filePath("short.mkv");
        if (!QFile::exists(mkv))
            QVERIFY(test::makeStandardClip(mkv, 1.0, "320x240"));
        QStringList inputs{clip1s, mkv, clip3s, clip1s};
        if (scenario == "failure") {
            const QString broken = clips.filePath("broken.avi");
            QFile f(broken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a video at all\n");
            f.close();
            inputs = {broken, clip3s};
        }
        for (const QString& input : inputs)
            form->addFile(input);
        QVERIFY(test::waitForProbes(list()));
        if (scenario == "failure")
            trim(0, "", "0:00:02");
        QList<qint64> pids;
        int most = 0;
        connect(&form->batch(), &BatchRun::encoderStarted, [&](qint64 pid) {
            pids << pid;
            int alive = 0;
            for (qint64 p : pids)
                alive += test::processAlive(p);
            most = std::max(most, alive);
            if (scenario == "cancel" && pids.size() == 2)
                QTimer::singleShot(0, form->ui()->progressPanel->ui()->cancelButton,
                                   &QPushButton::click);
        });
        convertNow();
        QVERIFY(most <= 2);
        if (scenario == "all")
            QCOMPARE(most, 2);
        if (scenario == "all") {
            QCOMPARE(statuses(), (QStringList{"OK", "OK", "OK", "OK"}));
            QStringList outputs = QDir(out->path()).entryList(QDir::Files);
            QCOMPARE(outputs, (QStringList{"holiday.flv", "short.flv", "short_New.flv",
                                           "short_New_New.flv"}));
            for (const QString& name : outputs)
                QVERIFY(!test::streamOf(test::probeMedia(out->filePath(name)), "video").isEmpty());
        } else if (scenario == "failure") {
            QCOMPARE(statuses(), (QStringList{"Fail", "OK"}));
        } else {
            QCOMPARE(statuses().mid(0, 2), (QStringList{"Cancel", "Cancel"}));
            for (qint64 pid : pids)
                QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(pid), 10000);
        }
    }

    // Today's formats end to end, each clip cut to its second second: a 16:9 clip at its own
    // size, a 4:3 clip of non-square pixels fitted into 1280x720 (or, for sound only, a clip
    // without sound, which fails). What ffprobe and MPlayer see of the outputs.
    void convertsToTodaysFormats_data() {
        QTest::addColumn<QString>("expected"); // profile, video and audio codec, container
        for (const char* row :
             {"5 h264 aac mov,mp4,m4a,3gp,3g2,mj2", "6 hevc aac mov,mp4,m4a,3gp,3g2,mj2",
              "7 vp9 opus matroska,webm", "8 av1 opus matroska,webm", "9 h264 aac matroska,webm",
              "11 - mp3 mp3", "12 - aac mov,mp4,m4a,3gp,3g2,mj2"})
            QTest::newRow(row) << QString(row);
    }
    void convertsToTodaysFormats() {
        QFETCH(QString, expected);
        const int profile = expected.section(' ', 0, 0).toInt();
        const QString video = expected.section(' ', 1, 1).remove('-');
        const QString audio = expected.section(' ', 2, 2);
        const QString format = expected.section(' ', 3, 3);
        pickProfile(profile);
        const QString extension = *outputExtension(profileCatalogue().at(profile - 1).caption);
        form->sheet().setValue("Video Options", "Encoding Speed", "Fast");
        const QString silent = clips.filePath("silent.avi");
        if (!QFile::exists(silent))
            QVERIFY(test::makeClip(silent, {"-f", "lavfi", "-i", "testsrc=size=160x120"},
                                   {"-t", "1", "-c:v", "mpeg4"}));
        for (const auto& [input, size, shape, aspect] :
             {std::array<QString, 4>{wide, "Same as source", "640x360", "16:9"},
              {video.isEmpty() ? silent : narrow, "1280x720", "960x720", "4:3"}}) {
            form->sheet().setValue("Video Options", "Video Size", size);
            list().clearAll();
            form->addFile(input);
            QVERIFY(test::waitForProbes(list()));
            trim(0, "0:00:01", "0:00:02");
            convertNow();
            if (input == silent) {
                QCOMPARE(statuses(), QStringList{"Fail"});
                QVERIFY(list().note(list().idAt(0)).contains("holds no sound"));
                continue;
            }
            QCOMPARE(statuses(), QStringList{"OK"});
            // A sound-only output is not compared with anything.
            QVERIFY(!video.isEmpty() || form->batch().scorer().isIdle());
            const QString output = out->filePath(QFileInfo(input).completeBaseName() + extension);
            const QJsonObject probe = test::probeMedia(output);
            QCOMPARE(probe["format"].toObject()["format_name"].toString(), format);
            QVERIFY2(qAbs(duration(probe) - 1.0) <= 0.2, qPrintable(output));
            QCOMPARE(test::streamOf(probe, "audio")["codec_name"].toString(), audio);
            const QJsonObject picture = test::streamOf(probe, "video");
            QCOMPARE(picture["codec_name"].toString(), video);
            if (!video.isEmpty()) {
                QCOMPARE(
                    QString("%1x%2").arg(picture["width"].toInt()).arg(picture["height"].toInt()),
                    shape);
                QCOMPARE(picture["display_aspect_ratio"].toString(), aspect);
            }
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll(); // MP4's index comes before the media
            QVERIFY(!format.startsWith("mov") || bytes.indexOf("moov") < bytes.indexOf("mdat"));
            QProcess mplayer;
            mplayer.start("mplayer", {"-noconfig", "all", "-identify", "-vo", "null", "-ao", "null",
                                      "-frames", "5", output});
            QVERIFY(mplayer.waitForFinished(60000));
            const QString ids = mplayer.readAllStandardOutput();
            QVERIFY2(ids.contains("ID_AUDIO_CODEC=") &&
                         ids.contains("ID_VIDEO_CODEC=") == !video.isEmpty(),
                     qPrintable(ids));
        }
    }

    // Cancel asks what to do; each answer, with what the rows and the folder say after it.
    // Every row of the run says "Waiting" until it starts.
    void cancelChoices_data() {
        QTest::addColumn<CancelChoice>("choice");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("message");
        const QString cancelled = "info:Conversion Canceled by the user!";
        QTest::newRow("stop now") << CancelChoice::StopNow << QStringList{"OK", "Cancel", ""} << 1
                                  << cancelled;
        QTest::newRow("skip this file")
            << CancelChoice::SkipThisFile << QStringList{"OK", "Cancel", "OK"} << 2
            << "info:Conversion completed!";
        QTest::newRow("finish this file, then stop")
            << CancelChoice::FinishThisFile << QStringList{"OK", "OK", ""} << 2 << cancelled;
        QTest::newRow("keep converting")
            << CancelChoice::KeepConverting << QStringList{"OK", "OK", "OK"} << 3
            << "info:Conversion completed!";
    }
    void cancelChoices() {
        QFETCH(CancelChoice, choice);
        QFETCH(QStringList, rows);
        QFETCH(int, files);
        QFETCH(QString, message);
        for (int i = 0; i < 3; ++i)
            form->addFile(clip3s);
        list().setText(list().idAt(2), SourceList::Status, "OK"); // an earlier run's
        messages.cancelAnswer = choice;
        int started = 0;
        QStringList whenFirstStarted;
        connect(&form->batch(), &BatchRun::encoderStarted, this, [&] {
            if (++started == 1)
                whenFirstStarted = statuses();
            else if (started == 2)
                form->ui()->progressPanel->ui()->cancelButton->click();
        });
        convertNow();
        QCOMPARE(whenFirstStarted, (QStringList{"Processing", "Waiting", "Waiting"}));
        QCOMPARE(statuses(), rows);
        QCOMPARE(messages.shown, (QStringList{"cancel choice", message}));
        // Only finished files, under their names; nothing half-written, hidden or not.
        QTRY_COMPARE_WITH_TIMEOUT(outputs().size(), files, 10000);

        for (const QString& name : outputs())
            QVERIFY2(!name.startsWith('.') && qAbs(seconds(out->filePath(name)) - 3.0) <= 0.1,
                     qPrintable(name));
    }

    // Pause stops the encoder (it spends no CPU) and the clock; Resume goes on to a whole file.
    void pauseStopsTheEncoderAndTheClock() {
        const QString slow = clips.filePath("slow.sh"); // the real encoder at the clip's pace
        put(slow, "#!/bin/sh\nexec ffmpeg -re \"$@\"\n");
        QFile::setPermissions(slow, QFile::permissions(slow) | QFile::ExeOwner);
        qputenv("CLIPVANE_FFMPEG", slow.toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("CLIPVANE_FFMPEG"); });
        form->addFile(clip3s);
        const auto cpuTicks = [](qint64 pid) {
            QFile stat(QString("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                return qint64(-1);
            const QList<QByteArray> f = stat.readAll().split(')').last().split(' ');
            return f.value(12).toLongLong() + f.value(13).toLongLong(); // utime + stime
        };
        QPushButton* pause = form->ui()->progressPanel->ui()->pauseButton;
        qint64 pid = 0;
        connect(
            &form->batch(), &BatchRun::encoderStarted, this, [&](qint64 p) { pid = p; },
            Qt::SingleShotConnection);
        // Paused once the encoder has said how far it is: at the clip's pace, well before its end.
        bool reported = false;
        connect(&form->batch(), &BatchRun::itemPolled, this,
                [&](SourceList::Id, std::optional<double> t) { reported = reported || t > 0.0; });
        QSignalSpy ended(&form->batch(), &BatchRun::runFinished);
        form->convertAll();
        QTRY_VERIFY_WITH_TIMEOUT(pid > 0 && reported, 60000);
        pause->click();
        QVERIFY(form->batch().isPaused());
        QCOMPARE(pause->text(), QString("Resume"));
        QTest::qWait(300);
        // The encoder is there and has not finished: the pause is what keeps it still.
        QVERIFY(test::processAlive(pid));
        QCOMPARE(statuses(), QStringList{"Processing"});
        const qint64 ticks = cpuTicks(pid);
        QVERIFY(ticks >= 0);
        const QString clock = form->ui()->progressPanel->ui()->convertingTimeLabel->text();
        QTest::qWait(1500);
        QVERIFY(test::processAlive(pid));
        QCOMPARE(cpuTicks(pid), ticks);
        QCOMPARE(form->ui()->progressPanel->ui()->convertingTimeLabel->text(), clock);
        QCOMPARE(form->ui()->progressPanel->ui()->timeLeftLabel->text(), QString("Paused"));
        pause->click();
        QCOMPARE(pause->text(), QString("Pause"));
        QVERIFY(ended.wait(60000));
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY(qAbs(seconds(out->filePath("holiday.flv")) - 3.0) <= 0.1);
    }

    // A partial file an interrupted run left (a killed program) goes at the next run into the
    // folder; one still being written by someone stays.
    void leftoverPartialFilesAreRemoved() {
        put(out->filePath(".short.partial.flv"), "4.7 s of a killed run");
        put(out->filePath(".other.partial3.flv"), "an older version's");
        put(out->filePath(".busy.partial.mp4"), "another program's, being written");
        const FileHold busy(out->filePath(".busy.partial.mp4"));
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(outputs(), (QStringList{".busy.partial.mp4", "short.flv"}));
    }

    // Partial files in two folders, the one held open between the others: what is open is
    // looked up for all of them at once, and each keeps its own answer.
    void leftoversOfSeveralFolders() {
        QTemporaryDir other;
        put(out->filePath(".a.partial.mp4"), "left");
        put(other.filePath(".b.partial.mp4"), "held");
        put(other.filePath(".c.partial.mp4"), "left");
        put(other.filePath("d.mp4"), "an output");
        const FileHold held(other.filePath(".b.partial.mp4"));
        QCOMPARE(removeLeftoverPartials({out->path(), other.path(), other.filePath("gone")}), 2);
        QCOMPARE(outputs(), QStringList());
        QCOMPARE(outputs(other.path()), (QStringList{".b.partial.mp4", "d.mp4"}));
    }

    // A hardware encoder that fails is retried in software into the same file: the row is OK
    // and says so, the output is H.264 whole.
    void aFailedHardwareEncodeIsDoneInSoftware() {
        const QString encoder = clips.filePath("novaapi.sh");
        put(encoder, "#!/bin/sh\ncase \"$*\" in *_vaapi*) echo 'Failed to initialise VAAPI "
                     "connection' >&2; exit 1;; esac\nexec ffmpeg \"$@\"\n");
        QFile::setPermissions(encoder, QFile::permissions(encoder) | QFile::ExeOwner);
        qputenv("CLIPVANE_FFMPEG", encoder.toUtf8());
        setUsableHardware({{HardwareKind::Vaapi, "H.264", "/dev/dri/renderD128"}});
        setHardwareEncoders({{"H.264", {"VAAPI"}}});
        const auto restore = qScopeGuard([] {
            qunsetenv("CLIPVANE_FFMPEG");
            setUsableHardware({});
            setHardwareEncoders({});
        });
        pickProfile(5);
        QCOMPARE(form->sheet().row(opt::Video, opt::Encoder)->choices,
                 (QStringList{"Software", "VAAPI"}));
        form->sheet().setValue(opt::Video, opt::Encoder, "VAAPI");
        form->addFile(clip1s);
        QVERIFY(test::waitForProbes(list()));
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY2(list()
                     .note(list().idAt(0))
                     .contains("The hardware encoder failed: converted in "
                               "software."),
                 qPrintable(list().note(list().idAt(0))));
        QCOMPARE(outputs(), QStringList{"short.mp4"});
        const QJsonObject video =
            test::streamOf(test::probeMedia(out->filePath("short.mp4")), "video");
        QCOMPARE(video.value("codec_name").toString(), "h264");
    }

    // The check of a file runs beside the next file's encoder; when it fails, its own row
    // fails and its partial file goes, and the next row is not disturbed.
    void aCheckFailingBesideTheNextEncodeFailsItsOwnRow() {
        const QString encoder = clips.filePath("cuttingencoder.sh");
        // The first file's output loses its second half once the encoder is done with it.
        put(encoder, "#!/bin/sh\nfor a; do last=$a; done\nffmpeg \"$@\" || exit $?\n"
                     "case \"$last\" in\n*first.partial*) size=$(stat -c %s \"$last\")\n"
                     "  truncate -s $((size / 2)) \"$last\";;\nesac\n");
        QFile::setPermissions(encoder, QFile::permissions(encoder) | QFile::ExeOwner);
        qputenv("CLIPVANE_FFMPEG", encoder.toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("CLIPVANE_FFMPEG"); });
        for (const char* name : {"first.avi", "second.avi"}) {
            QVERIFY(QFile::copy(clip1s, clips.filePath(name)));
            form->addFile(clips.filePath(name));
        }
        QVERIFY(test::waitForProbes(list()));
        convertNow();
        QCOMPARE(statuses(), (QStringList{"Fail", "OK"}));
        QVERIFY2(list().note(list().idAt(0)).startsWith("The encoder did not finish the output"),
                 qPrintable(list().note(list().idAt(0))));
        QVERIFY2(outputs() == QStringList{"second.flv"}, qPrintable(outputs().join(' ')));
        for (const char* name : {"first.avi", "second.avi"})
            QFile::remove(clips.filePath(name));
    }

    // A full disk (a small one, mounted for the test) fails the item, however the encoder
    // ended, and leaves the older output as it was.
    void aFullDiskNeverGivesOK_data() {
        QTest::addColumn<double>("room"); // free space for the new file, as a share of its size
        QTest::newRow("a quarter") << 0.25;
        QTest::newRow("a half") << 0.5;
        QTest::newRow("all but its end") << 0.97;
    }
    void aFullDiskNeverGivesOK() {
        QFETCH(double, room);
        if (::getuid() != 0)
            QSKIP("Mounting a small disk for this test needs root.");
        setSetting("existedfile", "1");
        form->addFile(clip3s);
        convertNow(); // the good older output, made on a disk with room
        const QByteArray good = test::contents(out->filePath("holiday.flv"));
        QVERIFY(!good.isEmpty());
        const QString disk = out->filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        const qint64 pages = (good.size() + 4095) / 4096 + qint64(room * good.size()) / 4096;
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", QString("size=%1").arg(pages * 4096),
                                        "tmpfs", disk}) != 0)
            QSKIP("No small disk could be mounted here.");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        put(disk + "/holiday.flv", good);
        setSetting("outputfolder", disk);
        convertNow();
        QCOMPARE(statuses(), QStringList{"Fail"});
        QCOMPARE(test::contents(disk + "/holiday.flv"), good);
        QCOMPARE(outputs(disk), QStringList{"holiday.flv"});
    }

    // Two windows (or programs) converting files of one name into one folder at once: each
    // file gets a name of its own, and nothing of the other's is replaced or removed.
    void twoWindowsOneOutputName_data() {
        QTest::addColumn<QString>("existedfile");
        QTest::newRow("keep existing files") << "0";
        QTest::newRow("overwrite") << "1";
    }
    void twoWindowsOneOutputName() {
        QFETCH(QString, existedfile);
        setSetting("existedfile", existedfile);
        for (const char* sub : {"x", "y"})
            QDir(clips.path()).mkpath(sub);
        const QString x = clips.filePath("x/clip.avi");
        const QString y = clips.filePath("y/clip.avi");
        QFile::copy(clip3s, x);
        QFile::copy(clip1s, y);
        if (existedfile == "1")
            put(out->filePath("clip.flv"), "older output");
        form->addFile(x);
        OtherWindow other;
        test::addAndProbe(other.list, y);
        QSignalSpy otherDone(other.batch.get(), &BatchRun::runFinished);
        connect(
            &form->batch(), &BatchRun::encoderStarted, other.batch.get(),
            [&] { QVERIFY(!other.batch->start(RunSettings::read(Preferences()))); },
            Qt::SingleShotConnection);
        convertNow();
        QVERIFY(otherDone.count() > 0 || otherDone.wait(60000));
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(other.list.textAt(0, SourceList::Status), QString("OK"));
        QCOMPARE(outputs(), (QStringList{"clip.flv", "clip_New.flv"}));
        QVERIFY(qAbs(seconds(out->filePath("clip.flv")) - 3.0) <= 0.1);
        QVERIFY(qAbs(seconds(out->filePath("clip_New.flv")) - 1.0) <= 0.1);
    }

    // A file saved under the output's name while the conversion runs stays as it is.
    void aFileSavedMeanwhileIsKept_data() { twoWindowsOneOutputName_data(); }
    void aFileSavedMeanwhileIsKept() {
        QFETCH(QString, existedfile);
        setSetting("existedfile", existedfile);
        const QString name = out->filePath("short.flv");
        if (existedfile == "1")
            put(name, "older output");
        form->addFile(clip1s);
        const QByteArray mine = "my own notes, 19 b\n";
        connect(
            &form->batch(), &BatchRun::encoderStarted, this,
            [&] {
                QFile::remove(name);
                put(name, mine);
            },
            Qt::SingleShotConnection);
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(test::contents(name), mine);
        QVERIFY(qAbs(seconds(out->filePath("short_New.flv")) - 1.0) <= 0.1);
        QCOMPARE(list().note(list().idAt(0)),
                 QString("Saved as short_New.flv because a file named short.flv appeared while "
                         "this one was being converted."));
    }

    // FFmpeg's prober is not needed: a file is listed, converted and its output checked in
    // this process.
    void withoutAProberFilesStillConvert() {
        qputenv("CLIPVANE_FFPROBE", "/nonexistent/ffprobe");
        const auto restore = qScopeGuard([] { qunsetenv("CLIPVANE_FFPROBE"); });
        form->addFile(clip1s);
        QVERIFY(test::waitForProbes(list()));
        QVERIFY(list().streamFacts(list().idAt(0)).listed);
        convertNow();
        QCOMPARE(messages.shown, QStringList{"info:Conversion completed!"});
        QCOMPARE(statuses(), QStringList{"OK"});
        QCOMPARE(outputs(), QStringList{"short.flv"});
    }

    void aStalledEncoderIsStopped() {
        form->addFile(clip1s);
        form->addFile(clip1s);
        QVERIFY(test::waitForProbes(list()));
        form->batch().setLimits({1500, OutputCheck::kTimeoutMs});
        qputenv("CLIPVANE_FFMPEG", hangingTool().toUtf8());
        qint64 stalled = 0;
        connect(
            &form->batch(), &BatchRun::encoderStarted, this,
            [&](qint64 pid) {
                stalled = pid;
                // The next file gets the real encoder, with the usual patience.
                qunsetenv("CLIPVANE_FFMPEG");
                form->batch().setLimits({});
            },
            Qt::SingleShotConnection);
        convertNow();
        QCOMPARE(statuses(), (QStringList{"Fail", "OK"}));
        QVERIFY(list().note(list().idAt(0)).startsWith("The encoder stopped making progress."));
        QVERIFY(keys.sent.contains(QString("fp.dll:%1:quit").arg(stalled)));
        QVERIFY(!test::processAlive(stalled));
        QCOMPARE(outputs(), QStringList{"short.flv"});
    }

    // A name that fits a file name but not the hidden name it is written under first is cut
    // to leave room for it.
    void longNamesAreCutToFit() {
        setSetting("existedfile", "1");
        const QString stem(246, QLatin1Char('a')); // 250 bytes with ".flv"
        QVERIFY(QFile::copy(clip1s, clips.filePath(stem + ".avi")));
        put(out->filePath(stem + ".flv"), "older output");
        form->addFile(clips.filePath(stem + ".avi"));
        convertNow();
        QCOMPARE(statuses(), QStringList{"OK"});
        QVERIFY(qAbs(seconds(out->filePath(stem.left(242) + ".flv")) - 1.0) <= 0.1);
    }

    // A name that is not UTF-8 reaches the program mangled, from the command line or a drop:
    // its row says so at once, and the run goes on without it.
    void namesThatAreNotUtf8AreRefused() {
        const QByteArray bad = QFile::encodeName(clips.path()) + "/bad\xff.avi";
        QCOMPARE(::link(QFile::encodeName(clip1s).constData(), bad.constData()), 0);
        const ProgramArguments args = splitProgramArguments({"clipvane", bad});
        QCOMPARE(args.badNames.size(), 1);
        form->addStartupFiles(args.files, args.badNames);
        form->addDroppedFiles({QFile::decodeName(bad), clip1s});
        QVERIFY(test::waitForProbes(list()));
        for (int row : {0, 1})
            QCOMPARE(list().note(list().idAt(row)), QString(kNotUtf8Note));
        convertNow();
        QCOMPARE(statuses(), (QStringList{"Fail", "Fail", "OK"}));
        ::unlink(bad.constData());
    }

    // A shutdown the system refuses and an output folder no file manager opens are said.
    void desktopFailuresAreSaid() {
        setSetting("autoshut", "1");
        desktop.shutdownRefusal = "Access denied";
        desktop.folderOpens = false;
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(messages.shown.last(), QString("warning:Conversion completed!\nThe computer "
                                                "could not be shut down: Access denied"));
        QVERIFY(form->statusBar()->currentMessage().contains(out->path()));
    }

    void emptyListDoesNothing() {
        convertNow();
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(desktop.events.isEmpty());
        QVERIFY(!form->ui()->progressPanel->isVisible());
    }

    void playerIsToldToQuitFirst() {
        form->playerState().playerProcessId = 424242;
        form->addFile(clip1s);
        convertNow();
        QCOMPARE(keys.sent.first(), QString("mp.dll:424242:quit"));
    }
};

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
