#include "app/capturedialog.h"
#include "capture/capturecomponent.h"
#include "capture/capturetext.h"
#include "capture/linuxcapture.h"
#include "tests/support/testsupport.h"
#include "ui_capturedialog.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

namespace {
// A device that supports only zoom, and records what it is asked. A stopped recording is
// finished from the event loop, or when endCheck() says so.
class FakeCapture : public CaptureComponent {
public:
    bool isListing() const override { return false; }
    int deviceCount() const override { return 1; }
    QString deviceName(int) const override { return "Fake Cam"; }
    bool isConnected() const override { return connected; }
    void setConnected(bool on) override {
        connected = on;
        calls << QString("connected=%1").arg(on);
    }
    int deviceIndex() const override { return index; }
    void setDeviceIndex(int i) override { index = i; }
    bool livePicture() const override { return live; }
    void setLivePicture(bool on) override { live = on; }
    QString fileName() const override { return file; }
    void setFileName(const QString& path) override { file = path; }
    bool startRecording() override {
        calls << "start";
        recording = startSucceeds;
        return startSucceeds;
    }
    void stopRecording() override {
        calls << "stop";
        if (!recording)
            return;
        recording = false;
        finishing = true;
        if (!holdCheck)
            QTimer::singleShot(0, this, [this] { endCheck(); });
    }
    void endCheck() {
        finishing = false;
        emit recordingFinished();
    }
    bool isRecording() const override { return recording; }
    bool isFinishing() const override { return finishing; }
    CaptureStatistics statistics() const override { return {262, 3, 10500}; }
    QList<QSize> frameSizes() const override { return {{1280, 720}, {640, 480}}; }
    QList<FrameRate> frameRates(const QSize& s) const override {
        return s.width() == 640 ? QList<FrameRate>{{30, 1}, {15, 1}}
                                : QList<FrameRate>{{60, 1}, {30000, 1001}};
    }
    QSize frameSize() const override { return size; }
    FrameRate frameRate() const override { return rate; }
    void setFrameMode(const QSize& s, const FrameRate& r) override {
        size = s;
        rate = r;
        calls << QString("mode %1x%2@%3").arg(s.width()).arg(s.height()).arg(r.text());
    }
    QStringList soundSourceNames() const override { return {"Monitor of Speakers", "USB Mic"}; }
    int preferredSoundSource() const override { return 1; }
    int soundSource() const override { return sound; }
    void setSoundSource(int index) override { sound = index; }
    bool deviceHasOwnSound() const override { return false; }
    QString errorText() const override { return error; }
    std::optional<CameraRange> cameraRange(int p) const override {
        return p == Zoom ? std::optional<CameraRange>({100, 500}) : std::nullopt;
    }
    int cameraValue(int p) const override { return p == Zoom ? 250 : 0; }
    bool setCameraValue(int p, int v) override {
        calls << QString("set %1=%2").arg(p).arg(v);
        return true;
    }

    bool connected = false, live = false, recording = false, startSucceeds = true;
    bool finishing = false, holdCheck = false;
    int index = -1, sound = -2;
    QSize size{1280, 720};
    FrameRate rate{30000, 1001};
    QString file, error;
    QStringList calls;
};
} // namespace

class TestCaptureDialog : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void init() {
        qunsetenv("CLIPVANE_CAPTURE_TEST_DEVICE");
        qunsetenv("CLIPVANE_FFPROBE");
    }

    void noDevice() {
        LinuxCapture none(nullptr, {tmp.path(), tmp.path(), tmp.path()});
        CaptureDialog w(nullptr, &none);
        w.loadDevices();
        Ui::CaptureDialog* ui = w.ui();
        QCOMPARE(w.windowTitle(), QString("Capture Video From DV"));
        QCOMPARE(ui->deviceCombo->count(), 0);
        for (QPushButton* b : {ui->startCaptureButton, ui->stopCaptureButton, ui->previewButton})
            QVERIFY(!b->isEnabled());
        QCOMPARE(ui->panSlider->minimum(), -180);
        QCOMPARE(ui->zoomSlider->maximum(), 600);
        w.startCapture();
        w.refreshStatistics();
        // Once the background listings are in.
        QTRY_COMPARE(ui->statisticsLabel->text(),
                     QString("No camera or capture card was found. Connect one and open this "
                             "window again."));
        for (QComboBox* c : {ui->soundCombo, ui->sizeCombo, ui->rateCombo})
            QVERIFY(!c->isEnabled());
        QCOMPARE(ui->soundCombo->currentText(), QString("None"));
        QVERIFY(ui->rollSlider->isHidden() && ui->rollLabel->isHidden());
        QVERIFY(ui->captureFileEdit->text().endsWith("/dvcapture.avi"));
    }

    void onlyZoomSupported() {
        FakeCapture fake;
        CaptureDialog w(nullptr, &fake);
        w.loadDevices();
        QCOMPARE(fake.calls.mid(0, 2), (QStringList{"connected=0", "connected=1"}));
        QCOMPARE(fake.index, 0);
        for (const auto p : {FakeCapture::Pan, FakeCapture::Tilt, FakeCapture::Roll})
            QVERIFY(!w.cameraSlider(p)->isEnabled());
        // Roll only where a camera can roll; pan and tilt stay in sight, disabled.
        QVERIFY(w.cameraSlider(FakeCapture::Roll)->isHidden() && w.ui()->rollLabel->isHidden());
        QVERIFY(!w.cameraSlider(FakeCapture::Pan)->isHidden());
        QSlider* zoom = w.cameraSlider(FakeCapture::Zoom);
        QVERIFY(zoom->isEnabled());
        QCOMPARE((QList<int>{zoom->minimum(), zoom->maximum(), zoom->value()}),
                 (QList<int>{100, 500, 250}));
        w.show();
        QTest::mouseClick(zoom, Qt::LeftButton, {}, QPoint(zoom->width() - 2, zoom->height() / 2));
        QTRY_COMPARE(fake.calls.last(), QString("set 3=%1").arg(zoom->value()));
        QVERIFY(zoom->value() > 250);
    }

    // Sound, size and rate: what the device offers, its choice preselected, the user's choice
    // passed on (a new size keeps the rate where it can), and fixed while recording.
    void soundSizeAndRatePickers() {
        FakeCapture fake;
        CaptureDialog w(nullptr, &fake);
        Ui::CaptureDialog* ui = w.ui();
        w.loadDevices();
        const auto items = [](QComboBox* c) {
            QStringList texts;
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
            return texts;
        };
        QCOMPARE(items(ui->soundCombo), (QStringList{"None", "Monitor of Speakers", "USB Mic"}));
        QCOMPARE(ui->soundCombo->currentText(), QString("USB Mic"));
        QCOMPARE(fake.sound, 1);
        QCOMPARE(items(ui->sizeCombo), (QStringList{"1280 x 720", "640 x 480"}));
        QCOMPARE(items(ui->rateCombo), (QStringList{"60 fps", "29.97 fps"}));
        QCOMPARE(ui->rateCombo->currentText(), QString("29.97 fps"));
        ui->soundCombo->setCurrentIndex(0);
        QCOMPARE(fake.sound, -1);
        ui->sizeCombo->setCurrentIndex(1); // 29.97 is not offered there: 30
        QCOMPARE(fake.calls.last(), QString("mode 640x480@30"));
        QCOMPARE(items(ui->rateCombo), (QStringList{"30 fps", "15 fps"}));
        QCOMPARE(ui->rateCombo->currentText(), QString("30 fps"));
        ui->rateCombo->setCurrentIndex(1);
        QCOMPARE(fake.calls.last(), QString("mode 640x480@15"));
        w.startCapture();
        for (QComboBox* c : {ui->soundCombo, ui->sizeCombo, ui->rateCombo})
            QVERIFY(!c->isEnabled());
        w.stopCapture();
        for (QComboBox* c : {ui->soundCombo, ui->sizeCombo, ui->rateCombo})
            QVERIFY(c->isEnabled());
    }

    void browse_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cancelled") << ""
                                   << "/videos/before.avi";
        QTest::newRow("chosen as given") << "/videos/take.mpg"
                                         << "/videos/take.mpg";
    }
    void browse() {
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        FakeCapture fake;
        QString offered;
        CaptureDialog w(nullptr, &fake, [&](QWidget*, const QString& current) {
            offered = current;
            return answer;
        });
        w.loadDevices();
        w.ui()->captureFileEdit->setText("/videos/before.avi");
        w.browseCaptureFile();
        QCOMPARE(offered, QString("/videos/before.avi"));
        QCOMPARE(w.ui()->captureFileEdit->text(), shown);
    }

    // The buttons follow the recording: started, stopped, refused or ended by itself.
    void buttonsFollowTheRecording_data() {
        QTest::addColumn<QString>("course");
        QTest::newRow("stopped") << "stopped";
        QTest::newRow("refused") << "refused";
        QTest::newRow("ended by itself") << "ended";
        QTest::newRow("closed") << "closed";
        QTest::newRow("not saved") << "not saved";
    }
    void buttonsFollowTheRecording() {
        QFETCH(QString, course);
        FakeCapture fake;
        fake.startSucceeds = course != "refused";
        fake.error = course == "refused" || course == "ended" ? "why" : "";
        CaptureDialog w(nullptr, &fake);
        Ui::CaptureDialog* ui = w.ui();
        w.loadDevices();
        w.show();
        w.startCapture();
        QCOMPARE(fake.file, ui->captureFileEdit->text());
        QVERIFY(fake.live);
        const auto recordingShown = [&] {
            return !ui->startCaptureButton->isEnabled() && !ui->previewButton->isEnabled() &&
                   !ui->deviceCombo->isEnabled() && ui->stopCaptureButton->isEnabled();
        };
        const auto idleShown = [&] {
            return ui->startCaptureButton->isEnabled() && ui->previewButton->isEnabled() &&
                   ui->deviceCombo->isEnabled() && ui->stopCaptureButton->isEnabled();
        };
        if (course == "refused") {
            QVERIFY(idleShown());
            QCOMPARE(ui->statisticsLabel->text(), QString("why"));
            return;
        }
        QVERIFY(recordingShown());
        w.refreshStatistics();
        QCOMPARE(ui->statisticsLabel->text(),
                 QString("262 frames (3 dropped) - %1 sec.").arg(QLocale().toString(10.5, 'f', 2)));
        if (course == "stopped") {
            w.stopCapture();
            QTRY_VERIFY(idleShown());
            w.refreshStatistics(); // the line keeps its last text
            QVERIFY(ui->statisticsLabel->text().startsWith("262 frames"));
        } else if (course == "not saved") {
            // Stop, or Exit: the line says why there is no recording, and Exit stays.
            fake.error = "The recording could not be saved: x.avi is gone.";
            w.exitCapture();
            QTRY_COMPARE(ui->statisticsLabel->text(), fake.error);
            QVERIFY(idleShown() && w.isVisible());
        } else if (course == "ended") {
            fake.recording = false;
            fake.finishing = true;
            w.refreshStatistics();
            fake.endCheck();
            QVERIFY(idleShown());
            QCOMPARE(ui->statisticsLabel->text(), QString("why"));
        } else {
            // The window goes once the recording is finished.
            w.close();
            QTRY_VERIFY(w.isHidden());
            QVERIFY(!fake.recording);
            QVERIFY(fake.calls.contains("stop"));
            QCOMPARE(fake.calls.last(), QString("connected=0"));
        }
    }

    // The synthetic device end to end: no file is overwritten, the statistics and the picture
    // show, and the close box leaves a complete file and no FFmpeg.
    void syntheticDevice() {
        qputenv("CLIPVANE_CAPTURE_TEST_DEVICE", "Test Camera");
        LinuxCapture capture(nullptr, {tmp.path(), tmp.path(), tmp.path()});
        CaptureDialog w(nullptr, &capture);
        Ui::CaptureDialog* ui = w.ui();
        w.loadDevices();
        QTRY_VERIFY(!capture.isListing());
        QCOMPARE(ui->deviceCombo->currentText(), QString("Test Camera"));
        QCOMPARE(ui->sizeCombo->currentText(), QString("1280 x 720"));
        QCOMPARE(ui->rateCombo->currentText(), QString("30 fps"));
        // A small, slow mode with the test tone: what the file holds.
        ui->soundCombo->setCurrentIndex(ui->soundCombo->findText("Test tone", Qt::MatchStartsWith));
        ui->sizeCombo->setCurrentIndex(ui->sizeCombo->findText("320 x 240"));
        ui->rateCombo->setCurrentIndex(ui->rateCombo->findText("15 fps"));
        for (QPushButton* b : {ui->startCaptureButton, ui->stopCaptureButton, ui->previewButton})
            QVERIFY(b->isEnabled());
        for (QSlider* s : {ui->panSlider, ui->tiltSlider, ui->rollSlider, ui->zoomSlider})
            QVERIFY(!s->isEnabled());

        QFile existing(tmp.filePath("dvcapture.avi"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        ui->captureFileEdit->setText(existing.fileName());
        w.show();
        w.startCapture();
        QCOMPARE(ui->captureFileEdit->text(), tmp.filePath("dvcapture (2).avi"));
        const qint64 pid = capture.processId();
        const QRegularExpression line(
            "^[1-9]\\d* frames \\(\\d+ dropped\\) - \\d+[.,]\\d\\d sec\\.$");
        QTRY_VERIFY_WITH_TIMEOUT(line.match(ui->statisticsLabel->text()).hasMatch() &&
                                     !ui->statisticsLabel->text().startsWith("0 "),
                                 5000);
        QTRY_VERIFY(!ui->livePictureLabel->pixmap().isNull());
        QTest::qWait(1000);

        // The window goes once the file is finished and checked.
        w.close();
        QTRY_VERIFY_WITH_TIMEOUT(w.isHidden(), 60000);
        QVERIFY(!test::processAlive(pid));
        QVERIFY(!capture.isRecording());
        QCOMPARE(capture.processId(), 0);
        const QJsonObject probe = test::probeMedia(tmp.filePath("dvcapture (2).avi"));
        QVERIFY(probe.value("format").toObject().value("duration").toString().toDouble() > 1.0);
        const QJsonObject video = test::streamOf(probe, "video");
        QCOMPARE(QSize(video["width"].toInt(), video["height"].toInt()), QSize(320, 240));
        QCOMPARE(video["r_frame_rate"].toString(), QString("15/1"));
        QCOMPARE(test::streamOf(probe, "audio")["codec_name"].toString(), QString("pcm_s16le"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep"));
    }

    // While a recording's file is checked (by a prober that waits to be let go), the window
    // stays live: Stop has returned, Browse answers, timers fire and the live picture goes on,
    // but no new recording starts. Then the window shows what the check found.
    void windowStaysLiveWhileTheRecordingIsChecked_data() {
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved") << true;
        QTest::newRow("no pictures in it") << false;
    }
    void windowStaysLiveWhileTheRecordingIsChecked() {
        QFETCH(bool, saved);
        qputenv("CLIPVANE_CAPTURE_TEST_DEVICE", "Test Camera");
        const QString asked = tmp.filePath("asked"), go = tmp.filePath("go");
        QFile::remove(asked);
        QFile::remove(go);
        // (It gives up waiting after a minute, so that a window that waits for it fails.)
        const QString prober = tmp.filePath("slow-ffprobe");
        QFile script(prober);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\ntouch '" + asked + "'\nn=0\nwhile [ ! -e '" + go +
                      "' ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done\n" +
                      (saved ? "exec ffprobe \"$@\"\n" : "exit 1\n"))
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("CLIPVANE_FFPROBE", prober.toUtf8());

        LinuxCapture capture(nullptr, {tmp.path(), tmp.path(), tmp.path()});
        int browsed = 0;
        CaptureDialog w(nullptr, &capture, [&](QWidget*, const QString&) {
            ++browsed;
            return QString();
        });
        Ui::CaptureDialog* ui = w.ui();
        w.loadDevices();
        ui->sizeCombo->setCurrentIndex(ui->sizeCombo->findText("320 x 240"));
        const QString file = tmp.filePath(saved ? "checked.avi" : "unchecked.avi");
        ui->captureFileEdit->setText(file);
        w.show();
        QTest::mouseClick(ui->startCaptureButton, Qt::LeftButton);
        QVERIFY(capture.isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(capture.statistics().frames >= 10, 30000);
        QTest::mouseClick(ui->stopCaptureButton, Qt::LeftButton);
        QVERIFY(!capture.isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(asked), 30000);

        QVERIFY(capture.isFinishing());
        QVERIFY(!ui->startCaptureButton->isEnabled());
        QTest::mouseClick(ui->browseButton, Qt::LeftButton);
        QCOMPARE(browsed, 1);
        QTimer tick;
        QSignalSpy ticked(&tick, &QTimer::timeout);
        tick.start(10);
        QVERIFY(ticked.wait(10000));
        QSignalSpy live(&capture, &CaptureComponent::liveFrame);
        QVERIFY(live.wait(10000));
        w.startCapture();
        QVERIFY(!capture.isRecording());
        QCOMPARE(ui->captureFileEdit->text(), file);

        QFile(go).open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(!capture.isFinishing(), 60000);
        QVERIFY(ui->startCaptureButton->isEnabled());
        if (saved) {
            QVERIFY(capture.errorText().isEmpty());
            QVERIFY(capture.statistics().frames >= 10);
            QCOMPARE(ui->statisticsLabel->text(), statisticsLine(capture.statistics()));
        } else {
            QCOMPARE(ui->statisticsLabel->text(),
                     "The recording could not be saved: " + file + " holds no pictures.");
        }
    }
};

QTEST_MAIN(TestCaptureDialog)
#include "tst_capturedialog.moc"
