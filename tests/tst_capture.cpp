#include "capture/capturetext.h"
#include "capture/linuxcapture.h"
#include "capture/soundsources.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <linux/videodev2.h>

using namespace clipvane;

namespace {

// A V4L2 driver answering from tables: a webcam at <dev>/video0 (MJPEG and YUYV, pan with
// its own range and step), a capture card at <dev>/video1 (a stepwise range, an unknown
// format first), an output device at <dev>/video2, and at <dev>/video3 a driver that never
// ends its lists.
class TableDriver : public V4l2Driver {
public:
    struct Format {
        quint32 fourcc;
        QList<std::pair<QSize, QList<quint32>>> sizes; // size, rates (1/interval)
    };
    struct Node : V4l2Node {
        QList<Format> formats;
        quint32 caps = V4L2_CAP_VIDEO_CAPTURE;
        bool stepwise = false, endless = false;
        std::map<quint32, int> values; // controls it has
        bool request(unsigned long request, void* argument) override {
            if (request == VIDIOC_QUERYCAP) {
                auto* c = static_cast<v4l2_capability*>(argument);
                qstrncpy(reinterpret_cast<char*>(c->card), "Table Cam", sizeof c->card);
                c->capabilities = caps;
                return true;
            }
            if (request == VIDIOC_ENUM_FMT) {
                auto* f = static_cast<v4l2_fmtdesc*>(argument);
                if (!endless && f->index >= quint32(formats.size()))
                    return false;
                f->pixelformat = endless ? V4L2_PIX_FMT_MJPEG : formats.at(f->index).fourcc;
                return true;
            }
            if (request == VIDIOC_ENUM_FRAMESIZES) {
                auto* e = static_cast<v4l2_frmsizeenum*>(argument);
                const Format* f = find(e->pixel_format);
                if (endless) {
                    e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                    e->discrete = {640, 480};
                    return true;
                }
                if (stepwise && e->index == 0) {
                    e->type = V4L2_FRMSIZE_TYPE_STEPWISE;
                    e->stepwise = {160, 1920, 16, 120, 1080, 8};
                    return true;
                }
                if (!f || stepwise || e->index >= quint32(f->sizes.size()))
                    return false;
                e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                const QSize s = f->sizes.at(e->index).first;
                e->discrete = {quint32(s.width()), quint32(s.height())};
                return true;
            }
            if (request == VIDIOC_ENUM_FRAMEINTERVALS) {
                auto* e = static_cast<v4l2_frmivalenum*>(argument);
                if (stepwise || endless) {
                    e->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
                    e->stepwise = {{1, 30}, {1, 1}, {1, 1}};
                    return e->index == 0;
                }
                const Format* f = find(e->pixel_format);
                for (const auto& [size, rates] : f ? f->sizes : decltype(f->sizes){}) {
                    if (size == QSize(int(e->width), int(e->height)) &&
                        e->index < quint32(rates.size())) {
                        e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                        e->discrete = rates.at(e->index) == 2997
                                          ? v4l2_fract{1001, 30000}
                                          : v4l2_fract{1, rates.at(e->index)};
                        return true;
                    }
                }
                return false;
            }
            if (request == VIDIOC_QUERYCTRL) {
                auto* q = static_cast<v4l2_queryctrl*>(argument);
                if (!values.count(q->id))
                    return false;
                *q = {q->id, V4L2_CTRL_TYPE_INTEGER, {}, -36000, 36000, 3600, 0, 0, {}};
                return true;
            }
            auto* c = static_cast<v4l2_control*>(argument);
            if (!values.count(c->id))
                return false;
            if (request == VIDIOC_S_CTRL)
                values[c->id] = c->value;
            c->value = values[c->id];
            return true;
        }
        const Format* find(quint32 fourcc) const {
            for (const Format& f : formats)
                if (f.fourcc == fourcc)
                    return &f;
            return nullptr;
        }
    };

    explicit TableDriver(const QString& dev) : m_dev(dev) {}
    std::unique_ptr<V4l2Node> open(const QString& path) const override {
        auto node = std::make_unique<Node>();
        if (path == m_dev + "/video0") {
            node->formats = {
                {V4L2_PIX_FMT_YUYV, {{{640, 480}, {30, 15}}, {{1920, 1080}, {5}}}},
                {V4L2_PIX_FMT_MJPEG,
                 {{{1280, 720}, {60, 30}}, {{1920, 1080}, {30, 15}}, {{640, 480}, {30}}}}};
            node->values = {{V4L2_CID_PAN_ABSOLUTE, 7200}};
        } else if (path == m_dev + "/video1") {
            node->formats = {{v4l2_fourcc('Z', 'Z', 'Z', 'Z'), {}}, {V4L2_PIX_FMT_UYVY, {}}};
            node->stepwise = true;
        } else if (path == m_dev + "/video2") {
            node->caps = V4L2_CAP_VIDEO_OUTPUT;
        } else if (path == m_dev + "/video3") {
            node->endless = true;
        } else {
            return nullptr;
        }
        return node;
    }

private:
    QString m_dev;
};

QString writeScript(const QString& path, const QByteArray& body) {
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write("#!/bin/sh\n" + body);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return p.readAllStandardOutput();
}

// When the synthetic device's square flashes (seconds), from its mean brightness, and when
// the first picture is.
QList<double> flashes(const QString& file, double* firstPicture) {
    const QJsonArray frames =
        QJsonDocument::fromJson(
            run("ffprobe", {"-v", "error", "-f", "lavfi", "-i",
                            "movie=" + file + ",crop=iw/8:ih/8:0:0,signalstats", "-show_entries",
                            "frame=pts_time:frame_tags=lavfi.signalstats.YAVG", "-of", "json"}))
            .object()
            .value("frames")
            .toArray();
    QList<double> onsets;
    bool bright = true;
    *firstPicture = frames.isEmpty() ? -1 : frames.at(0)["pts_time"].toString().toDouble();
    for (const QJsonValue& f : frames) {
        const bool now = f["tags"]["lavfi.signalstats.YAVG"].toString().toDouble() > 128;
        if (now && !bright)
            onsets << f["pts_time"].toString().toDouble();
        bright = now;
    }
    return onsets;
}

// When the beeps start and when any sound starts (seconds), from the samples.
QList<double> beeps(const QString& file, double* soundStarts) {
    const QByteArray raw = run("ffmpeg", {"-v", "error", "-i", file, "-map", "0:a:0", "-ac", "1",
                                          "-ar", "48000", "-f", "s16le", "-"});
    const auto* samples = reinterpret_cast<const qint16*>(raw.constData());
    QList<double> onsets;
    *soundStarts = -1;
    qsizetype quiet = 4800;
    for (qsizetype i = 0; i < raw.size() / 2; ++i) {
        if (*soundStarts < 0 && qAbs(samples[i]) > 300)
            *soundStarts = i / 48000.0;
        if (qAbs(samples[i]) <= 3000) {
            ++quiet;
            continue;
        }
        if (quiet >= 2400)
            onsets << i / 48000.0;
        quiet = 0;
    }
    return onsets;
}

} // namespace

class TestCapture : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString noDevices;     // a /dev without video nodes
    CaptureSystem nothing; // no devices, no FireWire, no ALSA

    // The synthetic device, started in a mode and recording into file.
    std::unique_ptr<LinuxCapture> recorder(const QString& file, QSize size = {320, 240},
                                           FrameRate rate = {25, 1}) {
        auto c = std::make_unique<LinuxCapture>(nullptr, nothing);
        c->setDeviceIndex(0);
        c->setConnected(true);
        c->setFrameMode(size, rate);
        c->setSoundSource(int(c->soundSourceNames().size()) - 1); // the test tone
        c->setLivePicture(true);
        c->setFileName(file);
        return c;
    }

    // Ends the recording (by default: stops it) and waits until its file is finished and
    // checked.
    static bool finish(LinuxCapture& c, const std::function<void()>& end = {}) {
        QSignalSpy finished(&c, &CaptureComponent::recordingFinished);
        if (end)
            end();
        else
            c.stopRecording();
        return (finished.size() > 0 || finished.wait(120000)) && !c.isFinishing() &&
               !c.isRecording();
    }
    // Waits until the recorder reports at least that many frames written.
    static bool recorded(const LinuxCapture& c, qint64 frames) {
        return QTest::qWaitFor([&] { return c.statistics().frames >= frames || !c.isRecording(); },
                               60000) &&
               c.isRecording();
    }

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
        nothing = {noDevices, tmp.filePath("sys"), tmp.filePath("asound")};
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
        LinuxCapture c(nullptr, {dev, tmp.filePath("sys"), tmp.filePath("asound")});
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

    // The machine's sound sources: PulseAudio's through FFmpeg, else ALSA's capture devices.
    void soundSources_data() {
        QTest::addColumn<QByteArray>("listing"); // what FFmpeg prints; "hang": nothing, ever
        QTest::addColumn<QStringList>("expected");
        const QStringList alsa{"HDA Intel PCH - ALC892 Analog=-f alsa -i plughw:CARD=PCH,DEV=0",
                               "HDA Intel PCH - ALC892 Alt=-f alsa -i plughw:CARD=PCH,DEV=2",
                               "HD Pro Webcam C920 - USB Audio=-f alsa -i plughw:CARD=C920,DEV=0"};
        const QByteArray monitors = "Auto-detected sources for pulse:\n"
                                    "  out.monitor [Monitor of Built-in Audio] (none)\n"
                                    "  two.monitor [Monitor of Second [x] (null)] (none)\n";
        const QStringList monitorSources{"Monitor of Built-in Audio=-f pulse -i out.monitor m",
                                         "Monitor of Second [x] (null)=-f pulse -i two.monitor m"};
        QTest::newRow("pulse") << monitors + "* mic.C920 [C920 Analog Stereo] (none)\n"
                               << monitorSources +
                                      QStringList{"C920 Analog Stereo=-f pulse -i mic.C920 *"};
        QTest::newRow("only monitors") << monitors << monitorSources + alsa;
        QTest::newRow("no server") << QByteArray("Auto-detected sources for pulse:\nCannot list "
                                                 "sources: Generic error in an external library\n")
                                   << alsa;
        QTest::newRow("hangs") << QByteArray("hang") << alsa;
        QTest::newRow("no ffmpeg") << QByteArray() << alsa;
    }
    void soundSources() {
        QFETCH(QByteArray, listing);
        QFETCH(QStringList, expected);
        const QString asound = tmp.filePath("alsa");
        QVERIFY(writeFile(asound + "/cards",
                          " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                          "                      HDA Intel PCH at 0xf7f1 irq 32\n"
                          " 1 [C920           ]: USB-Audio - HD Pro Webcam C920\n"
                          "                      HD Pro Webcam C920 at usb-0000\n"));
        QVERIFY(writeFile(asound + "/pcm",
                          "00-00: ALC892 Analog : ALC892 Analog : playback 1 : capture 1\n"
                          "00-01: ALC892 Digital : ALC892 Digital : playback 1\n"
                          "00-02: ALC892 Alt : ALC892 Alt : capture 1\n"
                          "01-00: USB Audio : USB Audio : capture 1\n"));
        const QString ffmpeg =
            listing.isEmpty()
                ? QString("/nonexistent/ffmpeg")
                : writeScript(tmp.filePath("sources-ffmpeg"),
                              listing == "hang" ? "exec sleep 30\n"
                                                : "cat <<'END'\n" + listing + "END\n");
        QStringList found;
        bool listed = false;
        listSoundSources(this, ffmpeg, asound, 500, [&](const QList<SoundSource>& sources) {
            for (const SoundSource& s : sources)
                found << s.name + "=" + s.input.join(' ') + (s.isDefault ? " *" : "") +
                             (s.isMonitor ? " m" : "");
            listed = true;
        });
        QVERIFY(!listed); // in the background
        // A listing that hangs is given up after its time limit (not the 30 s it takes).
        QTRY_VERIFY_WITH_TIMEOUT(listed, 20000);
        QCOMPARE(found, expected);
    }

    // Sizes and rates from the V4L2 enumerations, the default and the format asked for, and
    // the camera controls with the device's own ranges.
    void v4l2ModesAndControls() {
        const TableDriver driver(noDevices);
        const QList<V4l2Mode> webcam = captureModes(noDevices + "/video0", driver);
        QCOMPARE(modeSizes(webcam), (QList<QSize>{{1920, 1080}, {1280, 720}, {640, 480}}));
        QCOMPARE(modeRates(webcam, {1280, 720}), (QList<FrameRate>{{60, 1}, {30, 1}}));
        QCOMPARE(modeRates(webcam, {640, 480}), (QList<FrameRate>{{30, 1}, {15, 1}}));
        QCOMPARE(defaultMode(webcam)->first, QSize(1920, 1080));
        QCOMPARE(defaultMode(webcam)->second, FrameRate(30, 1));
        QCOMPARE(modeFor(webcam, {1920, 1080}, {30, 1})->inputFormat, QString("mjpeg"));
        QCOMPARE(modeFor(webcam, {1920, 1080}, {5, 1})->inputFormat, QString("yuyv422"));
        QCOMPARE(modeFor(webcam, {640, 480}, {15, 1})->inputFormat, QString("yuyv422"));
        QVERIFY(!modeFor(webcam, {1280, 720}, {5, 1}));

        const QList<V4l2Mode> card = captureModes(noDevices + "/video1", driver); // stepwise
        QCOMPARE(modeSizes(card).first(), QSize(1920, 1080));
        QVERIFY(modeSizes(card).contains(QSize(640, 480)) &&
                !modeSizes(card).contains(QSize(3840, 2160)));
        QCOMPARE(card.first().inputFormat, QString("uyvy422")); // the unknown format left out
        QCOMPARE(modeRates(card, {640, 480}).first(), FrameRate(30, 1));
        QCOMPARE(modeRates(card, {640, 480}).last(), FrameRate(1, 1));
        QCOMPARE(captureModes(noDevices + "/video3", driver).size(), 1); // never ends its lists

        QCOMPARE(FrameRate(30000, 1001).text(), QString("29.97"));
        QCOMPARE(FrameRate(30000, 1001).ffmpegText(), QString("30000/1001"));
        QCOMPARE(FrameRate(15, 2).text(), QString("7.5"));

        const QString node = noDevices + "/video0";
        const auto pan = cameraControlRange(node, CaptureComponent::Pan, driver);
        QVERIFY(pan && pan->minimum == -36000 && pan->maximum == 36000 && pan->step == 3600);
        QVERIFY(!cameraControlRange(node, CaptureComponent::Roll, driver));
        QVERIFY(!cameraControlRange(node, CaptureComponent::Tilt, driver));
        QCOMPARE(cameraControlValue(node, CaptureComponent::Pan, driver), 7200);
    }

    // What FFmpeg is asked, device by device: V4L2 with PulseAudio or ALSA, a capture card
    // alone, a DV camcorder over FireWire. The folders and FFmpeg are stand-ins.
    void commandLines_data() {
        QTest::addColumn<bool>("pulse");
        QTest::addColumn<int>("device");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QStringList>("pieces"); // in this order; D is the /dev folder
        const QString t = "-\\d{10}\\.\\d{6}";   // the origin
        QTest::newRow("webcam MJPEG, PulseAudio")
            << true << 0 << QSize() << 0
            << QStringList{"-copyts -itsoffset (" + t +
                               ") -thread_queue_size 1024 -f pulse -i "
                               "mic.usb -itsoffset \\1 -thread_queue_size 64 -f v4l2 -input_format "
                               "mjpeg -video_size 1920x1080 -framerate 30 -i D/video0 ",
                           "-map 1:v -c:v copy -r 30 -map 0:a -af aresample=async=1:"
                           "min_hard_comp=0.02:first_pts=0 -c:a pcm_s16le -shortest "
                           "-flush_packets 1 -f avi -n file:",
                           " -map 1:v -fps_mode cfr -r 30 -vf scale="};
        QTest::newRow("webcam raw, ALSA")
            << false << 0 << QSize(640, 480) << 15
            << QStringList{
                   "-copyts -itsoffset (" + t +
                       ") -thread_queue_size 1024 -f alsa -i "
                       "plughw:CARD=C920,DEV=0 -itsoffset \\1 -thread_queue_size 64 -f v4l2 "
                       "-input_format yuyv422 -video_size 640x480 -framerate 15 -i D/video0 ",
                   "-map 1:v -c:v mjpeg -q:v 3 -pix_fmt yuvj420p -fps_mode cfr -r 15 -map 0:a",
                   " -map 1:v -vf fps=10,scale="};
        QTest::newRow("capture card, no sound")
            << false << 1 << QSize() << -1
            << QStringList{"-stats_period 0.5 -thread_queue_size 10 -f v4l2 -input_format uyvy422 "
                           "-video_size 1920x1080 -framerate 30 -i D/video1 -map 0:v -c:v mjpeg",
                           "-fps_mode cfr -r 30 -flush_packets 1 -f avi -n file:",
                           " -map 0:v -vf fps=10,scale="};
        QTest::newRow("DV camcorder")
            << true << 3 << QSize() << 0
            << QStringList{"-stats_period 0.5 -f iec61883 -dvguid 0x0800460104a1b2c3 -i auto "
                           "-map 0:v -map 0:a\\? -c copy -flush_packets 1 -f avi -n file:",
                           " -map 0:v -fps_mode cfr -vf scale="};
    }
    void commandLines() {
        QFETCH(bool, pulse);
        QFETCH(int, device);
        QFETCH(QSize, size);
        QFETCH(int, rate);
        QFETCH(QStringList, pieces);
        const QString hw = tmp.filePath("hw"), dev = hw + "/dev",
                      sys = hw + "/sys/bus/firewire/devices";
        for (const char* node : {"video0", "video1", "video2", "video3", "fw0", "fw1", "fw2"})
            QVERIFY(writeFile(dev + "/" + node, ""));
        const auto fw = [&](const QString& name, const QByteArray& local, const QByteArray& units) {
            return writeFile(sys + "/" + name + "/is_local", local) &&
                   writeFile(sys + "/" + name + "/units", units + "\n") &&
                   writeFile(sys + "/" + name + "/guid", "0x0800460104a1b2c3\n");
        };
        QVERIFY(fw("fw0", "1", "0x00a02d:0x010001") && fw("fw2", "0", "0x00609e:0x010483") &&
                fw("fw3", "0", "0x00a02d:0x010001")); // ours, a disk, a camcorder with no node
        QVERIFY(fw("fw1", "0", "0x00a02d:0x010001") &&
                writeFile(sys + "/fw1/vendor_name", "Sony\n") &&
                writeFile(sys + "/fw1/model_name", "DCR-TRV900\n"));
        QVERIFY(writeFile(hw + "/asound/cards", " 1 [C920           ]: USB-Audio - C920\n"));
        QVERIFY(writeFile(hw + "/asound/pcm", "01-00: USB Audio : USB Audio : capture 1\n"));
        // FFmpeg: its listings, and for a recording the arguments noted until "q".
        const QByteArray listing = pulse ? "* mic.usb [USB Mic] (none)" : "Cannot list sources: x";
        qputenv(
            "CLIPVANE_FFMPEG",
            writeScript(hw + "/ffmpeg", "case \" $* \" in *\" -sources \"*) printf 'Auto-detected "
                                        "sources for pulse:\\n" +
                                            listing +
                                            "\\n'; exit;; *\" "
                                            "-devices \"*) echo ' D  iec61883        libiec61883'; "
                                            "exit;; esac\nprintf '%s\\n' \"$@\" >" +
                                            hw.toUtf8() + "/args\nhead -c 1 >/dev/null\n")
                .toUtf8());
        qunsetenv("CLIPVANE_CAPTURE_TEST_DEVICE");
        const TableDriver driver(dev);
        LinuxCapture c(nullptr, {dev, hw + "/sys", hw + "/asound", &driver});
        QVERIFY(c.isListing());
        QCOMPARE(c.deviceCount(), 3); // the camcorder once FFmpeg says it reads DV
        QTRY_VERIFY(!c.isListing());
        QCOMPARE(c.deviceCount(), 4);
        QCOMPARE(c.deviceName(3), QString("DV camcorder (FireWire) - Sony DCR-TRV900"));
        QCOMPARE(c.soundSourceNames().size(), 1);
        QCOMPARE(c.preferredSoundSource(), 0);
        c.setDeviceIndex(device);
        c.setConnected(true);
        QCOMPARE(c.deviceHasOwnSound(), device == 3);
        if (!size.isEmpty())
            c.setFrameMode(size, {quint32(rate), 1});
        c.setSoundSource(rate < 0 ? -1 : 0);
        c.setFileName(hw + "/take.avi");
        QFile::remove(hw + "/args");
        QVERIFY(c.startRecording());
        QTRY_VERIFY(QFileInfo(hw + "/args").size() > 0);
        QFile noted(hw + "/args");
        QVERIFY(noted.open(QIODevice::ReadOnly));
        const QString args = QString::fromUtf8(noted.readAll()).split('\n').join(' ');
        qsizetype from = 0;
        for (QString piece : pieces) {
            const auto m =
                QRegularExpression(piece.replace("D/", QRegularExpression::escape(dev + "/")))
                    .match(args, from);
            QVERIFY2(m.hasMatch(), qPrintable(piece + "\nnot in\n" + args));
            from = m.capturedEnd();
        }
        QVERIFY(finish(c));
        QCOMPARE(c.errorText(), QString("Nothing was recorded.")); // the stand-in wrote nothing
        qunsetenv("CLIPVANE_FFMPEG");
    }

    // Picture and sound together: a 5 s recording of the synthetic device has both streams,
    // lasts what the recorder said, and its beeps come with its flashes. A sound source that
    // starts late (by its own timestamps) keeps its lateness in the file.
    void soundInStepWithPicture_data() {
        QTest::addColumn<int>("lagMs");
        QTest::newRow("together") << 0;
        QTest::newRow("sound 300 ms late") << 300;
    }
    void soundInStepWithPicture() {
        QFETCH(int, lagMs);
        const QString file = tmp.filePath(QString("sync%1.avi").arg(lagMs));
        auto c = recorder(file);
        c->setSyntheticSoundLag(lagMs);
        QVERIFY2(c->startRecording(), qPrintable(c->errorText()));
        QVERIFY(recorded(*c, 5 * 25));
        QVERIFY(finish(*c));
        QVERIFY2(c->errorText().isEmpty(), qPrintable(c->errorText()));
        const QJsonObject probe = test::probeMedia(file);
        QCOMPARE(test::streamOf(probe, "video").value("codec_name").toString(), "mjpeg");
        QCOMPARE(test::streamOf(probe, "audio").value("codec_name").toString(), "pcm_s16le");
        const double reported = c->statistics().milliseconds / 1000.0;
        double firstPicture = -1, soundStarts = -1;
        const QList<double> flash = flashes(file, &firstPicture);
        const QList<double> beep = beeps(file, &soundStarts);
        qInfo("file %.2f s, recorder %.2f s; first picture %.3f s, sound %.3f s; flashes %s, "
              "beeps %s",
              duration(probe), reported, firstPicture, soundStarts,
              qPrintable(QDebug::toString(flash)), qPrintable(QDebug::toString(beep)));
        // What the recorder said.
        QVERIFY(reported >= 5.0);
        QVERIFY(qAbs(duration(probe) - reported) <= 0.2);
        QVERIFY(qAbs(soundStarts - firstPicture - lagMs / 1000.0) <= 0.1);
        QVERIFY(flash.size() >= 3 && beep.size() >= 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(qAbs(beep.at(i) - flash.at(i) - lagMs / 1000.0) <= 0.1,
                     qPrintable(QString::number(beep.at(i) - flash.at(i))));
    }

    // The chosen size and rate are the file's, and so are the frames the recorder counted;
    // every picture the device made and the recorder could not take in time is counted as
    // dropped (repeated in the file, or left out).
    void sizeRateAndDroppedPictures_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("rate");
        QTest::newRow("640x480 at 15") << QSize(640, 480) << 15;
        QTest::newRow("largest: 1280x720 at 30") << QSize(1280, 720) << 30;
    }
    void sizeRateAndDroppedPictures() {
        QFETCH(QSize, size);
        QFETCH(int, rate);
        const QString file = tmp.filePath(QString("mode%1.avi").arg(size.width()));
        auto c = recorder(file, size, {quint32(rate), 1});
        QCOMPARE(c->frameSizes().first(), QSize(1280, 720));
        QVERIFY2(c->startRecording(), qPrintable(c->errorText()));
        QVERIFY(recorded(*c, 4 * rate));
        QVERIFY(finish(*c));
        QVERIFY2(c->errorText().isEmpty(), qPrintable(c->errorText()));
        const QJsonObject video = test::streamOf(test::probeMedia(file), "video");
        QCOMPARE(QSize(video["width"].toInt(), video["height"].toInt()), size);
        QCOMPARE(video["r_frame_rate"].toString(), QString("%1/1").arg(rate));
        // Repeated pictures: packets the same as the one before.
        const QList<QByteArray> hashes =
            run("ffprobe",
                {"-v", "error", "-select_streams", "v", "-show_packets", "-show_data_hash", "md5",
                 "-show_entries", "packet=data_hash", "-of", "csv=p=0", file})
                .split('\n');
        qint64 repeated = 0;
        for (qsizetype i = 1; i < hashes.size(); ++i)
            repeated += !hashes.at(i).isEmpty() && hashes.at(i) == hashes.at(i - 1);
        const CaptureStatistics figures = c->statistics();
        qInfo("%lld frames (%lld dropped), %lld repeated in the file, %lld in it", figures.frames,
              figures.dropped, repeated, video["nb_read_frames"].toString().toLongLong());
        QCOMPARE(figures.frames, video["nb_read_frames"].toString().toLongLong());
        QVERIFY(figures.dropped >= repeated);
    }

    // A recording that ends by itself or leaves no usable file says so, and keeps what it can:
    // the device gone (the file is finished), the folder deleted under it, a device that hangs
    // (FFmpeg killed: the file is given its index), a file that holds nothing.
    void recordingEndsBadly_data() {
        QTest::addColumn<QString>("course");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("saved");
        QTest::newRow("device gone") << "gone"
                                     << "Recording stopped: the device stopped sending pictures. "
                                        "What was recorded until then is saved."
                                     << true;
        QTest::newRow("folder deleted") << "deleted"
                                        << "Recording stopped: the capture file was deleted or "
                                           "moved. The recording could not be saved: "
                                        << false;
        QTest::newRow("device hangs") << "hangs"
                                      << "Recording stopped: the device sent no pictures for 2 "
                                         "seconds. What was recorded until then is saved."
                                      << true;
        QTest::newRow("nothing in the file") << "garbage"
                                             << "The recording could not be saved: " << false;
    }
    void recordingEndsBadly() {
        QFETCH(QString, course);
        QFETCH(QString, said);
        QFETCH(bool, saved);
        const QString folder = tmp.filePath("bad-" + course), file = folder + "/x.avi";
        QVERIFY(QDir().mkpath(folder));
        const QString unfinished = tmp.filePath("unfinished.avi");
        if (course == "hangs") {
            // What FFmpeg leaves when it is killed: no index.
            QProcess writer;
            writer.start("ffmpeg",
                         {"-v", "error", "-re", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                          "-c:v", "mjpeg", "-flush_packets", "1", "-y", unfinished});
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(unfinished).size() > 64 * 1024, 30000);
            writer.kill();
            writer.waitForFinished();
        }
        if (course == "hangs" || course == "garbage")
            qputenv(
                "CLIPVANE_FFMPEG",
                writeScript(tmp.filePath(course + "-ffmpeg"),
                            "case \" $* \" in *\" -progress \"*) ;; *) exec ffmpeg \"$@\";; esac\n"
                            "for a; do case \"$a\" in file:*) " +
                                QByteArray(course == "hangs" ? "cp " + unfinished.toUtf8()
                                                             : "echo garbage >") +
                                " \"${a#file:}\";; esac; done\n" +
                                (course == "hangs" ? "trap '' INT TERM\nexec sleep 60\n"
                                                   : "head -c 1 >/dev/null\n"))
                    .toUtf8());
        auto c = recorder(file);
        c->setSyntheticPictureEnd(course == "gone" ? 2 : 0);
        c->setStallLimit(2000);
        c->setStopGrace(300, 300);
        QVERIFY2(c->startRecording(), qPrintable(c->errorText()));
        const qint64 pid = c->processId();
        if (course == "deleted") {
            // Once the recorder says it writes the file.
            QVERIFY(recorded(*c, 1));
            QVERIFY(QDir(folder).removeRecursively());
        }
        if (course == "garbage") {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 0, 30000);
            QVERIFY(finish(*c));
        } else {
            QVERIFY(finish(*c, [] {})); // it ends by itself
        }
        QVERIFY2(c->errorText().startsWith(said), qPrintable(c->errorText()));
        QVERIFY(!test::processAlive(pid));
        if (saved)
            QVERIFY(
                test::streamOf(test::probeMedia(file), "video")["nb_frames"].toString().toInt() >
                0);
        qunsetenv("CLIPVANE_FFMPEG");
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
        auto c = recorder(file);
        QCOMPARE(c->deviceCount(), 1);
        QCOMPARE(c->deviceName(0), QString("Test Camera"));
        QVERIFY(!c->cameraRange(CaptureComponent::Pan)); // no camera controls
        QSignalSpy live(c.get(), &CaptureComponent::liveFrame);
        c->setSoundSource(-1);
        QVERIFY2(c->startRecording(), qPrintable(c->errorText()));
        QVERIFY(c->isRecording());
        const qint64 pid = c->processId();
        QVERIFY(recorded(*c, seconds * 25));
        const qint64 counted = c->statistics().frames;
        QTRY_VERIFY(!live.isEmpty());
        QCOMPARE(live.last().at(0).toByteArray().size(),
                 LinuxCapture::kLiveWidth * LinuxCapture::kLiveHeight * 3);

        if (how == "stop") {
            QVERIFY(finish(*c));
        } else if (how == "disconnect") {
            QVERIFY(finish(*c, [&] { c->setConnected(false); }));
        } else {
            // Nothing waits for FFmpeg: it is stopped in the background, "q" first.
            c.reset();
            QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(pid), 30000);
        }
        QVERIFY(!test::processAlive(pid));
        const QJsonObject probe = test::probeMedia(file);
        const QJsonObject video = test::streamOf(probe, "video");
        qInfo("%s: %.2f s, %lld frames in the file, %lld counted", qPrintable(how), duration(probe),
              frames(probe), c ? c->statistics().frames : counted);
        // Complete: its index counts every picture in it, at its constant rate, and it holds
        // at least what the recorder had counted.
        QCOMPARE(video.value("nb_frames").toString().toLongLong(), frames(probe));
        QVERIFY(qAbs(frames(probe) - 25 * duration(probe)) <= 2);
        QVERIFY(frames(probe) >= counted);
        QCOMPARE(video.value("codec_name").toString(), "mjpeg");
        if (c) {
            QVERIFY(!c->isRecording());
            QCOMPARE(c->statistics().frames, frames(probe));
            QVERIFY(qAbs(c->statistics().milliseconds / 1000.0 - duration(probe)) <= 0.1);
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
        LinuxCapture c(nullptr, nothing);
        c.setConnected(true);
        c.setFileName(file);
        if (c.startRecording())
            QVERIFY(finish(c, [] {})); // it ends by itself
        QVERIFY2(c.errorText().contains(reason), qPrintable(c.errorText()));
        QVERIFY(!c.errorText().isEmpty());
        QCOMPARE(c.processId(), 0);
        QVERIFY(!QFileInfo(file).isFile());
    }
};

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
