#include "capture/linuxcapture.h"

#include "capture/capturetext.h"
#include "capture/v4l2devices.h"
#include "process/toolpaths.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>

namespace clipvane {
namespace {

constexpr qsizetype kLiveFrameBytes =
    qsizetype(LinuxCapture::kLiveWidth) * LinuxCapture::kLiveHeight * 3;
constexpr qsizetype kMaxReportLine = 64 * 1024;
constexpr int kAbandonMs = 2000; // after a kill: a process stuck in its driver is left behind

// FFmpeg's complaint without the "[v4l2 @ 0x5581…] " that names its source.
QString plainComplaint(const QByteArray& line) {
    static const QRegularExpression origin(QStringLiteral("^\\[[^\\]]*\\]\\s*"));
    return QString::fromUtf8(line).remove(origin).trimmed();
}

} // namespace

LinuxCapture::LinuxCapture(QObject* parent, const QString& devFolder) : CaptureComponent(parent) {
    for (const V4l2Node& node : captureNodes(devFolder))
        m_devices.append({node.name, node.path});
    const QString synthetic = qEnvironmentVariable("CLIPVANE_CAPTURE_TEST_DEVICE");
    if (!synthetic.isEmpty())
        m_devices.append({synthetic, QString()});
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, &LinuxCapture::resumeLivePicture);
}

LinuxCapture::~LinuxCapture() {
    // Normally the window has stopped everything already. Here no event loop may run any
    // more, so the wait for FFmpeg to finish the file blocks.
    m_resume.stop();
    ToolProcess* tool = m_process.get();
    if (!tool)
        return;
    disconnect(tool, nullptr, this, nullptr);
    if (tool->isRunning() && m_processRecords) {
        tool->write("q");
        if (!tool->waitForEnd(m_quitGraceMs)) {
            tool->signalGroup(SIGTERM);
            tool->waitForEnd(m_terminateGraceMs);
        }
    }
    if (tool->isRunning()) {
        tool->kill();
        tool->waitForEnd(kAbandonMs);
    }
    // Stuck in its driver: let it go rather than wait for ever.
    tool->abandon();
}

QString LinuxCapture::deviceName(int index) const {
    return index >= 0 && index < m_devices.size() ? m_devices.at(index).name : QString();
}

const LinuxCapture::Device* LinuxCapture::connectedDevice() const {
    if (!m_connected || m_index < 0 || m_index >= m_devices.size())
        return nullptr;
    return &m_devices.at(m_index);
}

qint64 LinuxCapture::processId() const {
    return m_process && m_process->isRunning() ? m_process->processId() : 0;
}

void LinuxCapture::setConnected(bool connected) {
    if (!connected) {
        m_resume.stop();
        if (m_process)
            endProcess(m_processRecords);
        m_connected = false;
        return;
    }
    m_connected = true;
    if (m_live && !m_process)
        m_resume.start(0);
}

void LinuxCapture::setLivePicture(bool on) {
    m_live = on;
    if (!on) {
        // A recording keeps going; only a process that shows nothing but the picture ends.
        m_resume.stop();
        if (m_process && !m_processRecords)
            endProcess(false);
        return;
    }
    // Once the event loop comes round: a recording started right after needs no process
    // of the live picture's own.
    if (m_connected && !m_process)
        m_resume.start(0);
}

void LinuxCapture::resumeLivePicture() {
    if (m_connected && m_live && !m_process)
        startProcess(false, QString());
}

bool LinuxCapture::startRecording() {
    if (m_recording)
        return true;
    m_error.clear();
    const Device* device = connectedDevice();
    if (!device) {
        m_error = tr("No capture device is connected.");
        return false;
    }
    if (!device->node.isEmpty() && !QFileInfo::exists(device->node)) {
        m_error = tr("The device %1 is gone.").arg(device->name);
        return false;
    }
    if (m_fileName.trimmed().isEmpty()) {
        m_error = tr("No capture file is chosen.");
        return false;
    }
    const QFileInfo chosen(m_fileName);
    const QFileInfo folder(chosen.absolutePath());
    if (!folder.isDir()) {
        m_error = tr("The folder %1 does not exist.").arg(folder.filePath());
        return false;
    }
    if (!folder.isWritable()) {
        m_error = tr("The folder %1 cannot be written to.").arg(folder.filePath());
        return false;
    }
    // Never over an existing file: FFmpeg is also told not to overwrite.
    const QString file = nextFreeFileName(chosen.absoluteFilePath());

    // One process reads the device: the live picture's own gives it up first.
    m_resume.stop();
    if (m_process)
        endProcess(m_processRecords);
    m_statistics = {};
    m_report = {};
    if (!startProcess(true, file))
        return false;
    m_fileName = file;
    m_recording = true;
    return true;
}

void LinuxCapture::stopRecording() {
    if (!m_recording)
        return;
    endProcess(true);
    m_recording = false;
    // The live picture goes on, from a process of its own, unless something switches it off
    // before the event loop comes round.
    m_resume.start(0);
}

bool LinuxCapture::startProcess(bool record, const QString& file) {
    const Device* device = connectedDevice();
    if (!device)
        return false;

    QStringList args{"-hide_banner", "-nostats", "-loglevel",     "error",
                     "-progress",    "pipe:2",   "-stats_period", "0.5"};
    if (device->node.isEmpty())
        args += QStringList{"-re", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25"};
    else
        args += QStringList{"-f", "v4l2", "-i", device->node};
    // The file first: the progress reports count the frames of the first output.
    if (record)
        args += QStringList{"-map", "0:v", "-c:v",     "mjpeg",
                            "-q:v", "3",   "-pix_fmt", "yuvj420p",
                            "-f",   "avi", "-n",       QStringLiteral("file:") + file};
    const QString live =
        QStringLiteral("fps=%1,scale=%2:%3").arg(kLiveRate).arg(kLiveWidth).arg(kLiveHeight);
    args +=
        QStringList{"-map", "0:v", "-vf", live, "-pix_fmt", "rgb24", "-f", "rawvideo", "pipe:1"};

    auto tool = std::make_unique<ToolProcess>();
    connect(tool.get(), &ToolProcess::outputRead, this, &LinuxCapture::onStandardOutput);
    connect(tool.get(), &ToolProcess::errorRead, this, &LinuxCapture::onStandardError);
    connect(tool.get(), &ToolProcess::finished, this, &LinuxCapture::onFinished);
    ToolProcess::Options options;
    options.keysOnStdin = true; // "q" finishes the file
    options.standardOutput = ToolProcess::Channel::Keep;
    options.standardError = ToolProcess::Channel::Keep;
    options.keepBytes = 0; // read as it comes
    // Should this program die, FFmpeg is interrupted, which it answers by finishing its files.
    options.deathSignal = SIGINT;
    options.quitGraceMs = m_quitGraceMs;
    options.termGraceMs = m_terminateGraceMs;
    m_frames.clear();
    m_reports.clear();
    m_lastComplaint.clear();
    args.prepend(ffmpegProgram());
    if (!tool->start(args, options)) {
        if (record)
            m_error = tr("FFmpeg (%1) could not be started.").arg(ffmpegProgram());
        return false;
    }
    m_process = std::move(tool);
    m_processRecords = record;
    m_ending = false;
    return true;
}

void LinuxCapture::endProcess(bool finishFile) {
    ToolProcess* tool = m_process.get();
    if (!tool)
        return;
    m_ending = true;
    if (tool->isRunning()) {
        QEventLoop loop;
        connect(tool, &ToolProcess::finished, &loop, &QEventLoop::quit);
        // "q", then terminate (FFmpeg finishes its files on this too), then kill.
        if (finishFile)
            tool->stop();
        else
            tool->kill();
        QTimer abandon;
        abandon.setSingleShot(true);
        connect(&abandon, &QTimer::timeout, &loop, &QEventLoop::quit);
        abandon.start((finishFile ? m_quitGraceMs + m_terminateGraceMs : 0) + kAbandonMs);
        // Clicks wait until FFmpeg has gone; painting and timers go on.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (m_process.get() == tool) {
        // Not finished after a kill: stuck in the device's driver. Left behind.
        disconnect(tool, nullptr, this, nullptr);
        tool->abandon();
        m_process.reset();
        m_recording = false;
        m_ending = false;
    }
}

void LinuxCapture::onStandardOutput(const QByteArray& piece) {
    m_frames += piece;
    const qsizetype whole = m_frames.size() / kLiveFrameBytes;
    if (whole == 0)
        return;
    // Only the newest picture is shown; older ones that piled up are passed over.
    const QByteArray newest = m_frames.mid((whole - 1) * kLiveFrameBytes, kLiveFrameBytes);
    m_frames.remove(0, whole * kLiveFrameBytes);
    if (m_live)
        emit liveFrame(newest, kLiveWidth, kLiveHeight);
}

void LinuxCapture::onStandardError(const QByteArray& piece) {
    m_reports += piece;
    qsizetype start = 0;
    for (qsizetype end; (end = m_reports.indexOf('\n', start)) >= 0; start = end + 1)
        takeReportLine(m_reports.mid(start, end - start).trimmed());
    m_reports.remove(0, start);
    if (m_reports.size() > kMaxReportLine)
        m_reports.clear();
}

void LinuxCapture::takeReportLine(const QByteArray& line) {
    static const QRegularExpression report(QStringLiteral("^([a-z][a-z0-9_]*)=(.*)$"));
    const auto m = report.match(QString::fromUtf8(line));
    if (!m.hasMatch()) {
        if (!line.isEmpty() && !line.trimmed().startsWith("Last message repeated"))
            m_lastComplaint = plainComplaint(line);
        return;
    }
    const QString key = m.captured(1);
    bool ok = false;
    const qint64 value = m.captured(2).trimmed().toLongLong(&ok);
    if (key == QLatin1String("frame") && ok)
        m_report.frames = value;
    else if (key == QLatin1String("drop_frames") && ok)
        m_report.dropped = value;
    else if (key == QLatin1String("out_time_us") && ok)
        m_report.milliseconds = std::max<qint64>(0, value / 1000);
    else if (key == QLatin1String("progress") && m_processRecords)
        m_statistics = m_report; // a report is complete
}

void LinuxCapture::onFinished(const ToolExit& exit) {
    if (!m_process)
        return;
    const bool recorded = m_processRecords;
    const bool expected = m_ending;
    // Deleted once its own signal has returned.
    m_process.release()->deleteLater();
    m_processRecords = false;
    m_ending = false;
    if (!recorded)
        return;
    m_recording = false;
    if (!expected) {
        const QString why = !m_lastComplaint.isEmpty() ? m_lastComplaint
                            : exit.crashed             ? tr("FFmpeg crashed.")
                                           : tr("FFmpeg ended (exit code %1).").arg(exit.exitCode);
        m_error = tr("Recording stopped: %1").arg(why);
    }
}

std::optional<CameraRange> LinuxCapture::cameraRange(int property) const {
    const Device* device = connectedDevice();
    if (!device || device->node.isEmpty())
        return std::nullopt;
    return cameraControlRange(device->node, property);
}

int LinuxCapture::cameraValue(int property) const {
    const Device* device = connectedDevice();
    if (!device || device->node.isEmpty())
        return 0;
    return cameraControlValue(device->node, property).value_or(0);
}

bool LinuxCapture::setCameraValue(int property, int value) {
    const Device* device = connectedDevice();
    if (!device || device->node.isEmpty())
        return false;
    return setCameraControlValue(device->node, property, value);
}

} // namespace clipvane
