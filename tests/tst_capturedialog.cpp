#include "app/capturedialog.h"
#include "capture/capturecomponent.h"
#include "capture/linuxcapture.h"
#include "tests/support/testsupport.h"
#include "ui_capturedialog.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

namespace {
// A device that supports only zoom, and records what it is asked.
class FakeCapture : public CaptureComponent {
public:
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
        recording = false;
    }
    bool isRecording() const override { return recording; }
    CaptureStatistics statistics() const override { return {262, 3, 10500}; }
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
    int index = -1;
    QString file, error;
    QStringList calls;
};
} // namespace

class TestCaptureDialog : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void init() { qunsetenv("CLIPVANE_CAPTURE_TEST_DEVICE"); }

    void noDevice() {
        LinuxCapture none(nullptr, tmp.path());
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
        QCOMPARE(ui->statisticsLabel->text(), QString("00:00:00"));
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
        QSlider* zoom = w.cameraSlider(FakeCapture::Zoom);
        QVERIFY(zoom->isEnabled());
        QCOMPARE((QList<int>{zoom->minimum(), zoom->maximum(), zoom->value()}),
                 (QList<int>{100, 500, 250}));
        w.show();
        QTest::mouseClick(zoom, Qt::LeftButton, {}, QPoint(zoom->width() - 2, zoom->height() / 2));
        QTRY_COMPARE(fake.calls.last(), QString("set 3=%1").arg(zoom->value()));
        QVERIFY(zoom->value() > 250);
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
    }
    void buttonsFollowTheRecording() {
        QFETCH(QString, course);
        FakeCapture fake;
        fake.startSucceeds = course != "refused";
        fake.error = "why";
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
            QVERIFY(idleShown());
            w.refreshStatistics(); // the line keeps its last text
            QVERIFY(ui->statisticsLabel->text().startsWith("262 frames"));
        } else if (course == "ended") {
            fake.recording = false;
            w.refreshStatistics();
            QVERIFY(idleShown());
            QCOMPARE(ui->statisticsLabel->text(), QString("why"));
        } else {
            w.close();
            QVERIFY(!fake.recording);
            QVERIFY(fake.calls.contains("stop"));
            QCOMPARE(fake.calls.last(), QString("connected=0"));
        }
    }

    // The synthetic device end to end: no file is overwritten, the statistics and the picture
    // show, and the close box leaves a complete file and no FFmpeg.
    void syntheticDevice() {
        qputenv("CLIPVANE_CAPTURE_TEST_DEVICE", "Test Camera");
        LinuxCapture capture(nullptr, tmp.path());
        CaptureDialog w(nullptr, &capture);
        Ui::CaptureDialog* ui = w.ui();
        w.loadDevices();
        QCOMPARE(ui->deviceCombo->currentText(), QString("Test Camera"));
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

        w.close();
        QVERIFY(!test::processAlive(pid));
        QVERIFY(!capture.isRecording());
        QCOMPARE(capture.processId(), 0);
        const QJsonObject probe = test::probeMedia(tmp.filePath("dvcapture (2).avi"));
        QVERIFY(probe.value("format").toObject().value("duration").toString().toDouble() > 1.0);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep"));
    }
};

QTEST_MAIN(TestCaptureDialog)
#include "tst_capturedialog.moc"
