#include "capture/linuxcapture.h"

#include "capture/capturetext.h"
#include "capture/quicktool.h"
#include "process/childtools.h"
#include "process/toolpaths.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <utility>

namespace clipvane {
namespace {

constexpr qsizetype kLiveFrameBytes = qsizetype(kLivePictureWidth) * kLivePictureHeight * 3;
constexpr qsizetype kMaxReportLine = 64 * 1024;
constexpr int kAbandonMs = 2000; // after a kill: a process stuck in its driver is left behind
constexpr int kWatchMs = 500;
constexpr int kListingMs = 3000;

// FFmpeg's complaint without the "[v4l2 @ 0x5581…] " that names its source.
QString plainComplaint(const QByteArray& line) {
    static const QRegularExpression origin(QStringLiteral("^\\[[^\\]]*\\]\\s*"));
    return QString::fromUtf8(line).remove(origin).trimmed();
}

// The synthetic device's modes: the sizes and rates of an ordinary webcam.
QList<V4l2Mode> syntheticModes() {
    QList<V4l2Mode> modes;
    for (const QSize size : {QSize(1280, 720), QSize(640, 480), QSize(320, 240)}) {
        V4l2Mode mode;
        mode.inputFormat = QStringLiteral("rgb24");
        mode.size = size;
        mode.rates = {{30, 1}, {25, 1}, {15, 1}};
        modes.append(mode);
    }
    return modes;
}

QString withoutFinalStop(QString text) {
    while (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace

LinuxCapture::LinuxCapture(QObject* parent, const CaptureSystem& system)
    : CaptureComponent(parent), m_system(system) {
    for (const V4l2Device& node : captureNodes(m_system.devFolder, driver()))
        m_devices.append({PictureInput::Kind::V4l2, node.name, node.path, QString()});
    const QString synthetic = qEnvironmentVariable("CLIPVANE_CAPTURE_TEST_DEVICE");
    if (!synthetic.isEmpty()) {
        m_devices.append({PictureInput::Kind::Synthetic, synthetic, QString(), QString()});
        m_soundSources.append({tr("Test tone"), {}, false, false});
    }
    m_sound = preferredSoundSource();

    // DV camcorders: only when FFmpeg can read them, asked only when there is one.
    const QList<DvCamcorder> camcorders = dvCamcorders(m_system.sysFolder, m_system.devFolder);
    if (!camcorders.isEmpty()) {
        ++m_listings;
        QuickTool::run(
            this, {ffmpegProgram(), QStringLiteral("-hide_banner"), QStringLiteral("-devices")},
            kListingMs, [this, camcorders](const QuickToolRun& run) {
                if (listsIec61883Input(run.output))
                    takeDvCamcorders(camcorders);
                listingDone();
            });
    }
    ++m_listings;
    listSoundSources(this, ffmpegProgram(), m_system.soundFolder, kListingMs,
                     [this](const QList<SoundSource>& sources) {
                         takeSoundSources(sources);
                         listingDone();
                     });

    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, &LinuxCapture::resumeLivePicture);
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &LinuxCapture::watchRecording);
    m_checkSoon.setSingleShot(true);
    connect(&m_checkSoon, &QTimer::timeout, this, &LinuxCapture::checkRecording);
    m_abandon.setSingleShot(true);
    connect(&m_abandon, &QTimer::timeout, this, &LinuxCapture::abandonProcess);
}

LinuxCapture::~LinuxCapture() {
    // Normally the window has stopped everything already. A recorder still finishing its
    // file (or still recording) is stopped the usual way, "q", terminate, kill, by
    // ChildTools; the check of its file, should one be under way, ends here.
    m_resume.stop();
    m_watch.stop();
    m_checkSoon.stop();
    m_abandon.stop();
    m_checker.reset();
    ToolProcess* tool = m_process.release();
    if (!tool)
        return;
    disconnect(tool, nullptr, this, nullptr);
    if (m_processRecords)
        tool->stop(); // nothing new when it is on its way out already
    else
        tool->kill();
    ChildTools::instance().adopt(tool);
}

void LinuxCapture::takeDvCamcorders(const QList<DvCamcorder>& camcorders) {
    // Before the synthetic device, which comes last; the chosen device stays chosen.
    qsizetype at = m_devices.size();
    if (at > 0 && m_devices.last().kind == PictureInput::Kind::Synthetic)
        --at;
    for (const DvCamcorder& camcorder : camcorders)
        m_devices.insert(at++,
                         {PictureInput::Kind::Dv, camcorder.name, camcorder.node, camcorder.guid});
    if (m_index >= at - camcorders.size())
        m_index += int(camcorders.size());
}

void LinuxCapture::takeSoundSources(const QList<SoundSource>& sources) {
    const bool onlyPreferred = m_sound == preferredSoundSource();
    const std::optional<SoundSource> chosen = m_sound >= 0 && m_sound < m_soundSources.size()
                                                  ? std::optional(m_soundSources.at(m_sound))
                                                  : std::nullopt;
    // The test tone (no input arguments) stays last.
    QList<SoundSource> tones;
    for (const SoundSource& source : std::as_const(m_soundSources))
        if (source.input.isEmpty())
            tones.append(source);
    m_soundSources = sources + tones;
    m_sound = -1;
    if (onlyPreferred && !m_recording) {
        m_sound = preferredSoundSource();
    } else if (chosen) {
        for (int i = 0; i < m_soundSources.size(); ++i)
            if (m_soundSources.at(i).name == chosen->name &&
                m_soundSources.at(i).input == chosen->input)
                m_sound = i;
    }
}

void LinuxCapture::listingDone() {
    --m_listings;
    emit listsChanged();
}

const V4l2Driver& LinuxCapture::driver() const {
    return m_system.driver ? *m_system.driver : V4l2Driver::system();
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
        if (m_recording)
            stopRecording();
        else if (m_process && !m_processRecords)
            endProcess(false);
        m_connected = false;
        m_modes.clear();
        m_size = {};
        m_rate = {};
        return;
    }
    if (m_connected)
        return;
    m_connected = true;
    const Device* device = connectedDevice();
    if (!device) {
        m_connected = false;
        return;
    }
    switch (device->kind) {
    case PictureInput::Kind::V4l2:
        m_modes = captureModes(device->node, driver());
        break;
    case PictureInput::Kind::Synthetic:
        m_modes = syntheticModes();
        break;
    case PictureInput::Kind::Dv:
        m_modes.clear(); // DV has one size and rate, the camcorder's
        break;
    }
    if (const auto mode = defaultMode(m_modes)) {
        m_size = mode->first;
        m_rate = mode->second;
    }
    if (m_live && !m_process)
        m_resume.start(0);
}

QList<QSize> LinuxCapture::frameSizes() const {
    return modeSizes(m_modes);
}

QList<FrameRate> LinuxCapture::frameRates(const QSize& size) const {
    return modeRates(m_modes, size);
}

void LinuxCapture::setFrameMode(const QSize& size, const FrameRate& rate) {
    if (m_recording || !modeFor(m_modes, size, rate) || (size == m_size && rate == m_rate))
        return;
    m_size = size;
    m_rate = rate;
    // The live picture follows, once the process of the old mode has gone.
    if (m_process && !m_processRecords)
        endProcess(false);
}

QStringList LinuxCapture::soundSourceNames() const {
    QStringList names;
    for (const SoundSource& source : m_soundSources)
        names.append(source.name);
    return names;
}

int LinuxCapture::preferredSoundSource() const {
    // The server's default microphone, else the first microphone, else the test tone.
    // What the machine plays (a monitor) is never chosen by itself.
    int first = -1;
    for (int i = 0; i < m_soundSources.size(); ++i) {
        const SoundSource& source = m_soundSources.at(i);
        if (source.isMonitor)
            continue;
        if (source.isDefault && !source.input.isEmpty())
            return i;
        if (first < 0 || (m_soundSources.at(first).input.isEmpty() && !source.input.isEmpty()))
            first = i;
    }
    return first;
}

void LinuxCapture::setSoundSource(int index) {
    if (!m_recording)
        m_sound = index >= 0 && index < m_soundSources.size() ? index : -1;
}

bool LinuxCapture::deviceHasOwnSound() const {
    const Device* device = connectedDevice();
    return device && device->kind == PictureInput::Kind::Dv;
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
    if (m_connected && m_live && !m_process && !m_recording)
        startProcess(false, QString());
}

bool LinuxCapture::startRecording() {
    if (m_recording)
        return true;
    if (m_finishing)
        return false; // its file is still being finished or checked
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

    m_resume.stop();
    m_statistics = {};
    m_report = {};
    m_duplicated = 0;
    m_endReason.clear();
    m_recorderComplaint.clear();
    m_fileSeen = false;
    if (m_process) {
        // One process reads the device: the live picture's own gives it up first, and the
        // recording starts once it has gone.
        m_fileName = file;
        m_recording = true;
        m_waitingFile = file;
        endProcess(false);
        return true;
    }
    return startRecorder(file);
}

bool LinuxCapture::startRecorder(const QString& file) {
    if (!startProcess(true, file))
        return false;
    m_fileName = file;
    m_recording = true;
    m_lastFrames = -1;
    m_quietMs = 0;
    m_fileSeen = false;
    m_watch.start();
    return true;
}

void LinuxCapture::stopRecording() {
    if (!m_recording)
        return;
    m_recording = false;
    m_finishing = true;
    m_watch.stop();
    if (!m_waitingFile.isEmpty()) {
        m_waitingFile.clear(); // it never started
        m_checkSoon.start(0);
    } else if (m_process && m_processRecords) {
        endProcess(true); // checked once FFmpeg has gone
    } else {
        m_checkSoon.start(0);
    }
}

RecorderPlan LinuxCapture::planFor(const Device& device, const QString& file) const {
    RecorderPlan plan;
    plan.file = file;
    plan.origin = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    plan.picture.kind = device.kind;
    plan.syntheticSoundLagMs = m_syntheticSoundLagMs;
    plan.syntheticPictureEndsAfterS = m_syntheticPictureEndsAfterS;
    switch (device.kind) {
    case PictureInput::Kind::V4l2:
        plan.picture.node = device.node;
        if (const V4l2Mode* mode = modeFor(m_modes, m_size, m_rate)) {
            plan.picture.inputFormat = mode->inputFormat;
            plan.picture.size = m_size;
            if (!mode->rates.isEmpty())
                plan.picture.rate = m_rate;
        }
        break;
    case PictureInput::Kind::Synthetic:
        plan.picture.size = m_size;
        plan.picture.rate = m_rate;
        break;
    case PictureInput::Kind::Dv:
        plan.picture.guid = device.guid;
        break;
    }
    if (m_sound >= 0 && m_sound < m_soundSources.size() && device.kind != PictureInput::Kind::Dv) {
        const SoundSource& source = m_soundSources.at(m_sound);
        plan.sound.kind =
            source.input.isEmpty() ? SoundInput::Kind::Synthetic : SoundInput::Kind::Device;
        plan.sound.input = source.input;
    }
    return plan;
}

bool LinuxCapture::startProcess(bool record, const QString& file) {
    const Device* device = connectedDevice();
    if (!device)
        return false;
    const RecorderPlan plan = planFor(*device, record ? file : QString());
    QStringList args = recorderArguments(plan);

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
    m_recordRate = plan.picture.kind == PictureInput::Kind::Dv ? FrameRate{} : plan.picture.rate;
    m_recordCopies = copiesPicture(plan);
    return true;
}

void LinuxCapture::endProcess(bool finishFile) {
    ToolProcess* tool = m_process.get();
    if (!tool || m_ending)
        return; // gone, or on its way
    m_ending = true;
    // "q", then terminate (FFmpeg finishes its files on this too), then kill; or killed at
    // once. What follows waits for it to go (onFinished).
    if (finishFile)
        tool->stop();
    else
        tool->kill();
    m_abandon.start((finishFile ? m_quitGraceMs + m_terminateGraceMs : 0) + kAbandonMs);
}

void LinuxCapture::abandonProcess() {
    // Not gone after a kill: stuck in the device's driver. Left behind, to go when it can.
    ToolProcess* tool = m_process.release();
    if (!tool)
        return;
    disconnect(tool, nullptr, this, nullptr);
    tool->kill();
    ChildTools::instance().adopt(tool);
    ToolExit exit;
    exit.crashed = true;
    exit.exitCode = SIGKILL;
    exit.stopRequested = true;
    processGone(exit, m_processRecords);
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
        emit liveFrame(newest, kLivePictureWidth, kLivePictureHeight);
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
    else if (key == QLatin1String("dup_frames") && ok)
        m_duplicated = value;
    else if (key == QLatin1String("drop_frames") && ok)
        m_report.dropped = value;
    else if (key == QLatin1String("out_time_us") && ok)
        m_report.milliseconds = std::max<qint64>(0, value / 1000);
    else if (key == QLatin1String("progress") && m_processRecords) {
        // A report is complete. Repeated pictures stand for ones the device did not deliver
        // in time: dropped as much as those it delivered and were not written.
        m_statistics = m_report;
        m_statistics.dropped += m_duplicated;
        // FFmpeg's own time counts from its first report when it keeps the devices' clocks.
        // At a constant rate the pictures say it exactly: the repeated ones are in the
        // picture count, the missing ones of a copied stream are gaps of the same length.
        if (m_recordRate.isValid()) {
            const qint64 pictures = m_report.frames + (m_recordCopies ? m_duplicated : 0);
            m_statistics.milliseconds =
                pictures * 1000 * m_recordRate.seconds / std::max<quint32>(m_recordRate.frames, 1);
        }
        if (!m_fileSeen)
            m_fileSeen = QFileInfo::exists(m_fileName);
    }
}

void LinuxCapture::watchRecording() {
    if (!m_recording || !m_process || !m_processRecords || m_ending)
        return;
    if (QFileInfo::exists(m_fileName)) {
        m_fileSeen = true;
    } else if (m_fileSeen) {
        // Deleted or moved: every further second would be lost.
        endRecordingBecause(tr("the capture file was deleted or moved"));
        return;
    }
    if (m_statistics.frames != m_lastFrames) {
        m_lastFrames = m_statistics.frames;
        m_quietMs = 0;
        return;
    }
    m_quietMs += kWatchMs;
    if (m_quietMs < m_stallLimitMs)
        return;
    // A sound source that failed ends the file early (its streams end together): FFmpeg
    // said why.
    endRecordingBecause(
        m_lastComplaint.isEmpty()
            ? tr("the device sent no pictures for %1 seconds").arg(m_stallLimitMs / 1000)
            : withoutFinalStop(m_lastComplaint));
}

void LinuxCapture::endRecordingBecause(const QString& reason) {
    m_endReason = reason;
    stopRecording();
}

QString LinuxCapture::whyItEnded(const ToolExit& exit) const {
    const Device* device = connectedDevice();
    if (device && !device->node.isEmpty() && !QFileInfo::exists(device->node))
        return tr("%1 was disconnected").arg(device->name);
    if (!m_lastComplaint.isEmpty())
        return withoutFinalStop(m_lastComplaint);
    if (exit.crashed)
        return tr("FFmpeg crashed");
    if (exit.exitCode != 0)
        return tr("FFmpeg ended (exit code %1)").arg(exit.exitCode);
    return tr("the device stopped sending pictures");
}

void LinuxCapture::onFinished(const ToolExit& exit) {
    if (!m_process)
        return;
    m_abandon.stop();
    // Deleted once its own signal has returned.
    m_process.release()->deleteLater();
    processGone(exit, m_processRecords);
}

void LinuxCapture::processGone(const ToolExit& exit, bool recorded) {
    m_processRecords = false;
    m_ending = false;
    if (recorded) {
        m_recorderComplaint = m_lastComplaint;
        if (m_recording) {
            // It ended by itself.
            if (m_endReason.isEmpty())
                m_endReason = whyItEnded(exit);
            m_recording = false;
            m_finishing = true;
            m_watch.stop();
        }
        if (m_finishing)
            m_checkSoon.start(0); // the file is looked at from the event loop
    }
    if (!m_waitingFile.isEmpty()) {
        const QString file = std::exchange(m_waitingFile, QString());
        m_recording = false;
        if (!startRecorder(file)) {
            // It could not start after all: errorText() says why.
            if (m_error.isEmpty())
                m_error = tr("No capture device is connected.");
            m_finishing = true;
            QTimer::singleShot(0, this, &LinuxCapture::completeRecording);
        }
        return;
    }
    if (m_connected && m_live && !m_recording)
        m_resume.start(0);
}

void LinuxCapture::checkRecording() {
    m_checkSoon.stop();
    if (!m_finishing || m_checker)
        return;
    const bool written = m_fileSeen || QFileInfo::exists(m_fileName);
    if (!written) {
        m_error = m_endReason.isEmpty() ? tr("Nothing was recorded.")
                                        : tr("Recording stopped: %1.").arg(m_endReason);
        if (m_endReason.isEmpty() && !m_recorderComplaint.isEmpty())
            m_error += tr(" (FFmpeg: %1)").arg(m_recorderComplaint);
        completeRecording();
        return;
    }
    m_checker = std::make_unique<RecordingChecker>();
    connect(m_checker.get(), &RecordingChecker::finished, this, &LinuxCapture::onChecked);
    m_checker->start(m_fileName);
}

void LinuxCapture::onChecked(const RecordingCheck& check) {
    // Deleted once its own signal has returned.
    m_checker.release()->deleteLater();
    if (!m_endReason.isEmpty()) {
        m_error = check.saved ? tr("Recording stopped: %1. What was recorded until then is saved.")
                                    .arg(m_endReason)
                              : tr("Recording stopped: %1. The recording could not be saved: %2")
                                    .arg(m_endReason, check.problem);
    } else if (!check.saved) {
        m_error = tr("The recording could not be saved: %1").arg(check.problem);
        if (!m_recorderComplaint.isEmpty())
            m_error += tr(" (FFmpeg: %1)").arg(m_recorderComplaint);
    }
    completeRecording();
}

void LinuxCapture::completeRecording() {
    m_endReason.clear();
    m_finishing = false;
    emit recordingFinished();
}

std::optional<CameraRange> LinuxCapture::cameraRange(int property) const {
    const Device* device = connectedDevice();
    if (!device || device->kind != PictureInput::Kind::V4l2)
        return std::nullopt;
    return cameraControlRange(device->node, property, driver());
}

int LinuxCapture::cameraValue(int property) const {
    const Device* device = connectedDevice();
    if (!device || device->kind != PictureInput::Kind::V4l2)
        return 0;
    return cameraControlValue(device->node, property, driver()).value_or(0);
}

bool LinuxCapture::setCameraValue(int property, int value) {
    const Device* device = connectedDevice();
    if (!device || device->kind != PictureInput::Kind::V4l2)
        return false;
    return setCameraControlValue(device->node, property, value, driver());
}

} // namespace clipvane
