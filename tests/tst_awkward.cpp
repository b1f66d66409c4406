#include "app/mainwindow.h"
#include "base/apppaths.h"
#include "base/textvalues.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>
#include <optional>

using namespace clipvane;

// Awkward inputs made by tests/data/make-awkward-media.sh, added to the real window and
// converted to FLV in one batch, then each row checked the way a user would check it: does
// it say what happened, and is an "OK" file really the clip?
class TestAwkward : public QObject {
    Q_OBJECT

    QTemporaryDir media;
    QTemporaryDir out;
    std::unique_ptr<test::ProgramFolder> folder;
    test::RecordingDesktop desktop;
    test::RecordingMessages messages;
    test::RecordingKeys keys;
    std::unique_ptr<MainWindow> form;
    QHash<QString, SourceList::Id> ids;
    QHash<QString, QString> probedEnd; // End as the probe wrote it, before any trimming

    SourceList& list() { return form->sources(); }
    QString cell(const QString& file, int column) { return list().text(ids.value(file), column); }

    // How long a file really plays: from its earliest packet to the end of its last one, by
    // ffprobe. (A header's duration can be missing or estimated from the bit rate.) A packet
    // without a duration (FLV video has none) lasts as long as the gap before it.
    static std::optional<double> playLength(const QString& path) {
        QProcess ffprobe;
        ffprobe.start("ffprobe",
                      {"-v", "error", "-show_entries", "packet=stream_index,pts_time,duration_time",
                       "-of", "json", path});
        if (!ffprobe.waitForFinished(120000))
            return std::nullopt;
        const QJsonArray packets =
            QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object()["packets"].toArray();
        std::optional<double> first, last;
        QHash<int, double> previous; // each stream's last timestamp
        for (const QJsonValue& p : packets) {
            bool ok = false;
            const double pts = p["pts_time"].toString().toDouble(&ok);
            if (!ok)
                continue;
            const int stream = p["stream_index"].toInt();
            double duration = p["duration_time"].toString().toDouble();
            if (duration <= 0 && previous.contains(stream))
                duration = pts - previous[stream];
            previous[stream] = pts;
            first = std::min(first.value_or(pts), pts);
            last = std::max(last.value_or(pts + duration), pts + duration);
        }
        if (!first)
            return std::nullopt;
        return *last - *first;
    }
    static QString describe(const std::optional<double>& seconds) {
        return seconds ? QString::number(*seconds, 'f', 2) + " s" : QString("no packets");
    }

private slots:
    void initTestCase() {
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        script.start("bash", {QStringLiteral(AWKWARD_SCRIPT), media.path()});
        QVERIFY(script.waitForFinished(300000));
        QCOMPARE(script.exitCode(), 0);
        const QStringList made =
            QString::fromUtf8(script.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(made.size(), 15);

        folder = std::make_unique<test::ProgramFolder>();
        QVERIFY(folder->isValid());
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &keys;
        s.endProcess = [] {};
        form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        form->show();
        writeSetting(settingsFilePath(), "set", "outputfolder", out.path());
        form->ui()->profileCombo->setCurrentIndex(1); // FLV
        form->applySelectedProfile();

        for (const QString& line : made) {
            const QString file = line.section('\t', 0, 0);
            form->addFile(media.filePath(file));
            QVERIFY(test::waitForProbes(list()));
            ids.insert(file, list().idAt(list().count() - 1));
            probedEnd.insert(file, cell(file, SourceList::End));
        }
        // Twenty seconds of the ten hours are enough.
        list().setClip(ids["ten-hours.avi"], 0, parseClipTime("0:00:20"));

        QSignalSpy ended(&form->batch(), &BatchRun::runFinished);
        form->convertAll();
        if (form->batch().isRunning())
            QVERIFY(ended.wait(600000));
    }
    void cleanupTestCase() {
        form.reset();
        folder.reset();
    }

    // No file stops the run: it goes through the whole list and says so once.
    void theRunReachesTheEnd() {
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown.first().contains("Conversion completed!"),
                 qPrintable(messages.shown.first()));
        QCOMPARE(desktop.shutdowns, 0);
    }

    // End is the file's length, to the nearest second (to the hundredth below half a second);
    // Start is the beginning.
    void endIsTheLength_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("exactEnd");
        for (const char* f :
             {"program-stream.mpg", "transport.ts", "camcorder.m2ts", "dvd-title.vob", "live.mkv",
              "webm-vp8.webm", "webm-vp9.webm", "windows-media.wmv", "one-frame.avi"})
            QTest::newRow(f) << f << "";
        QTest::newRow("ten-hours.avi") << "ten-hours.avi"
                                       << "10:00:00";
    }
    void endIsTheLength() {
        QFETCH(QString, file);
        QFETCH(QString, exactEnd);
        QVERIFY2(ids.contains(file), "the script did not make it");
        const QString end = probedEnd.value(file);
        const std::optional<double> real = playLength(media.filePath(file));
        QVERIFY(real);
        const std::optional<qint64> hundredths = parseClipTime(end);
        const std::optional<double> seconds =
            hundredths ? std::optional<double>(*hundredths / 100.0) : std::nullopt;
        QVERIFY2(seconds && qAbs(*seconds - *real) <= 1.0,
                 qPrintable(QString("End %1, plays %2").arg(end, describe(real))));
        if (!exactEnd.isEmpty())
            QCOMPARE(end, exactEnd);
        if (file != "ten-hours.avi")
            QCOMPARE(cell(file, SourceList::Start), QString("0:00:00"));
    }

    // "OK" means a playable output of the clip's length; "Fail" means nothing was left
    // behind and the tooltip says why.
    void eachRowTellsTheTruth_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected"); // "OK", "Fail", or "" for either
        QTest::addColumn<QString>("reason");   // words a failure's first note line must hold
        const QString notVideo = "not a video|no video|no picture|audio only|only audio|"
                                 "could not (be )?read|cannot be read|empty|not recogni[sz]ed|"
                                 "unknown format|damaged|corrupt";
        for (const char* f : {"program-stream.mpg", "transport.ts", "camcorder.m2ts",
                              "dvd-title.vob", "live.mkv", "webm-vp8.webm", "webm-vp9.webm",
                              "windows-media.wmv", "one-frame.avi", "ten-hours.avi"})
            QTest::newRow(f) << f << "OK"
                             << "";
        QTest::newRow("audio-only-aac.mp4") << "audio-only-aac.mp4"
                                            << "Fail"
                                            << "no video|not a video|no picture|audio only|only "
                                               "audio";
        QTest::newRow("audio-only-mp3.avi") << "audio-only-mp3.avi"
                                            << "Fail"
                                            << "no video|not a video|no picture|audio only|only "
                                               "audio";
        QTest::newRow("random-bytes.avi") << "random-bytes.avi"
                                          << "Fail" << notVideo;
        QTest::newRow("zero-bytes.avi") << "zero-bytes.avi"
                                        << "Fail" << notVideo;
        QTest::newRow("truncated.avi") << "truncated.avi"
                                       << ""
                                       << "";
    }
    void eachRowTellsTheTruth() {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QFETCH(QString, reason);
        QVERIFY2(ids.contains(file), "the script did not make it");
        const QString status = cell(file, SourceList::Status);
        const QString note = list().note(ids.value(file));
        const QString output = out.filePath(QFileInfo(file).completeBaseName() + ".flv");
        const QString row =
            QString("status '%1', note '%2', %3 to %4")
                .arg(status, note, cell(file, SourceList::Start), cell(file, SourceList::End));
        QVERIFY2(status == "OK" || status == "Fail", qPrintable(row));
        if (!expected.isEmpty())
            QVERIFY2(status == expected, qPrintable(row));

        if (status == "Fail") {
            QVERIFY2(!note.trimmed().isEmpty(), qPrintable(row));
            const QString firstLine = note.section('\n', 0, 0);
            QVERIFY2(firstLine.contains(
                         QRegularExpression(reason, QRegularExpression::CaseInsensitiveOption)),
                     qPrintable(row));
            QVERIFY2(!QFileInfo::exists(output), qPrintable(row + ", yet an output is left"));
            return;
        }
        QVERIFY2(QFileInfo::exists(output), qPrintable(row + ", but there is no output"));
        const qint64 clip = parseTimeText(cell(file, SourceList::End)).value_or(0) -
                            parseTimeText(cell(file, SourceList::Start)).value_or(0);
        const int frames = test::streamOf(test::probeMedia(output), "video")
                               .value("nb_read_frames")
                               .toString()
                               .toInt();
        const std::optional<double> plays = playLength(output);
        const QString got = QString("%1; the output has %2 video frames and plays %3")
                                .arg(row)
                                .arg(frames)
                                .arg(describe(plays));
        QVERIFY2(frames >= 1, qPrintable(got));
        QVERIFY2(plays && qAbs(*plays - clip) <= std::max(1.0, 0.02 * clip), qPrintable(got));
    }
};

QTEST_MAIN(TestAwkward)
#include "tst_awkward.moc"
