#include "capture/capturetext.h"
#include "capture/linuxcapture.h"
#include "tests/support/testsupport.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

class TestCapture : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString noDevices; // a /dev without video nodes

    static double duration(const QJsonObject& probe) {
        return probe.value("format").toObject().value("duration").toString().toDouble();
    }
    static qint64 frames(const QJsonObject& probe) {
        return test::streamOf(probe, "video").value("nb_read_frames").toString().toLongLong();
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp.isValid());
        noDevices = tmp.filePath("dev");
        QVERIFY(QDir().mkpath(noDevices));
    }
    void init() {
        qputenv("CLIPVANE_CAPTURE_TEST_DEVICE", "Test Camera");
        qunsetenv("CLIPVANE_FFMPEG");
    }

    void statisticsLine_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("line");
        QTest::newRow("C") << "C" << qint64(10500) << "262 frames (3 dropped) - 10.50 sec.";
        QTest::newRow("German separator")
            << "de_DE" << qint64(10500) << "262 frames (3 dropped) - 10,50 sec.";
        QTest::newRow("never grouped")
            << "en_US" << qint64(1234567) << "262 frames (3 dropped) - 1234.57 sec.";
    }
    void statisticsLine() {
        QFETCH(QString, locale);
        QFETCH(qint64, milliseconds);
        QFETCH(QString, line);
        QCOMPARE(clipvane::statisticsLine({262, 3, milliseconds}, QLocale(locale)), line);
    }

    void noDevicesNoFailure_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("empty") << "empty";
        QTest::newRow("missing") << "missing";
        QTest::newRow("not devices") << "fakes";
        QTest::newRow("unreadable") << "locked";
    }
    void noDevicesNoFailure() {
        QFETCH(QString, folder);
        qunsetenv("CLIPVANE_CAPTURE_TEST_DEVICE");
        const QString dev = tmp.filePath(folder);
        if (folder != "missing")
            QVERIFY(QDir().mkpath(dev));
        if (folder == "fakes") {
            QFile plain(dev + "/video0");
            QVERIFY(plain.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link("/dev/null", dev + "/video1"));
            QVERIFY(QDir().mkpath(dev + "/video2"));
        }
        if (folder == "locked")
            QFile::setPermissions(dev, {});
        LinuxCapture c(nullptr, dev);
        QCOMPARE(c.deviceCount(), 0);
        c.setDeviceIndex(0);
        c.setConnected(true);
        c.setLivePicture(true);
        c.setFileName(tmp.filePath("none.avi"));
        QVERIFY(!c.startRecording());
        QVERIFY(!c.errorText().isEmpty());
        QVERIFY(!c.cameraRange(CaptureComponent::Zoom));
        QCOMPARE(c.processId(), 0);
    }

    // However a recording ends, the AVI is complete and FFmpeg is gone.
    void recordingEndsWithAPlayableFile_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("seconds");
        QTest::newRow("stop") << "stop" << 3;
        QTest::newRow("disconnect") << "disconnect" << 2;
        QTest::newRow("destroy") << "destroy" << 2;
    }
    void recordingEndsWithAPlayableFile() {
        QFETCH(QString, how);
        QFETCH(int, seconds);
        const QString file = tmp.filePath(how + ".avi");
        auto c = std::make_unique<LinuxCapture>(nullptr, noDevices);
        QCOMPARE(c->deviceCount(), 1);
        QCOMPARE(c->deviceName(0), QString("Test Camera"));
        QVERIFY(!c->cameraRange(CaptureComponent::Pan)); // no camera controls
        QSignalSpy live(c.get(), &CaptureComponent::liveFrame);
        c->setDeviceIndex(0);
        c->setConnected(true);
        c->setLivePicture(true);
        c->setFileName(file);
        QVERIFY2(c->startRecording(), qPrintable(c->errorText()));
        QVERIFY(c->isRecording());
        const qint64 pid = c->processId();
        QTest::qWait(seconds * 1000);
        QVERIFY(c->statistics().frames > 0);
        QVERIFY(!live.isEmpty());
        QCOMPARE(live.last().at(0).toByteArray().size(),
                 LinuxCapture::kLiveWidth * LinuxCapture::kLiveHeight * 3);

        if (how == "stop")
            c->stopRecording();
        else if (how == "disconnect")
            c->setConnected(false);
        else
            c.reset();
        QVERIFY(!test::processAlive(pid));
        const QJsonObject probe = test::probeMedia(file);
        qInfo("%s: %.2f s, %lld frames in the file, %lld counted", qPrintable(how), duration(probe),
              frames(probe), c ? c->statistics().frames : -1LL);
        QVERIFY2(qAbs(duration(probe) - seconds) <= 0.5,
                 qPrintable(QString::number(duration(probe))));
        QVERIFY(qAbs(frames(probe) - 25 * duration(probe)) <= 2);
        QCOMPARE(test::streamOf(probe, "video").value("codec_name").toString(), "mjpeg");
        if (c) {
            QVERIFY(!c->isRecording());
            QVERIFY(qAbs(c->statistics().frames - frames(probe)) <= 3);
            QVERIFY(c->errorText().isEmpty());
        }
        if (how == "stop") {
            // The live picture goes on after the recording.
            live.clear();
            QVERIFY(live.wait(3000));
        }
    }

    // A recording that cannot start, or ends by itself, reports it and leaves nothing behind.
    void recordingFails_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("ffmpeg");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no folder") << "missing/x.avi"
                                   << ""
                                   << "does not exist";
        QTest::newRow("file as folder") << "plain/x.avi"
                                        << ""
                                        << "does not exist";
        QTest::newRow("no ffmpeg") << "x.avi"
                                   << "/nonexistent/ffmpeg"
                                   << "could not be started";
        QTest::newRow("device busy") << "busy.avi"
                                     << "busy"
                                     << "Device or resource busy";
        QTest::newRow("unwritable") << "/proc/x.avi"
                                    << ""
                                    << "";
    }
    void recordingFails() {
        QFETCH(QString, target);
        QFETCH(QString, ffmpeg);
        QFETCH(QString, reason);
        QFile plain(tmp.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        if (ffmpeg == "busy") {
            // An FFmpeg whose device is taken: it complains and ends.
            ffmpeg = tmp.filePath("busy-ffmpeg");
            QFile script(ffmpeg);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\necho '[video4linux2,v4l2 @ 0x5] Cannot open video device "
                         "/dev/video0: Device or resource busy' >&2\nsleep 0.3\nexit 1\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        if (!ffmpeg.isEmpty())
            qputenv("CLIPVANE_FFMPEG", ffmpeg.toUtf8());
        const QString file = target.startsWith('/') ? target : tmp.filePath(target);
        LinuxCapture c(nullptr, noDevices);
        c.setConnected(true);
        c.setFileName(file);
        if (c.startRecording())
            QTRY_VERIFY_WITH_TIMEOUT(!c.isRecording(), 10000);
        QVERIFY2(c.errorText().contains(reason), qPrintable(c.errorText()));
        QVERIFY(!c.errorText().isEmpty());
        QCOMPARE(c.processId(), 0);
        QVERIFY(!QFileInfo(file).isFile());
    }
};

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
