#pragma once

#include "capture/capturecommand.h"
#include "capture/capturecomponent.h"
#include "capture/firewiredevices.h"
#include "capture/recordingcheck.h"
#include "capture/soundsources.h"
#include "capture/v4l2devices.h"
#include "process/toolprocess.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace clipvane {

// Where the capture component looks for devices (tests give folders and a driver of their own).
struct CaptureSystem {
    QString devFolder = QStringLiteral("/dev");           // video*, fw* nodes
    QString sysFolder = QStringLiteral("/sys");           // bus/firewire/devices
    QString soundFolder = QStringLiteral("/proc/asound"); // ALSA's cards and pcm
    const V4l2Driver* driver = nullptr;                   // nullptr: the kernel's
};

// The capture component on Linux. The devices are the V4L2 video-capture nodes, by card name
// in node order, then the DV camcorders on FireWire (when FFmpeg has its iec61883 input, which
// is asked in the background), plus, when CLIPVANE_CAPTURE_TEST_DEVICE is set, a synthetic
// device of that name that shows FFmpeg's test picture in real time with a square that
// flashes, and a test tone that beeps with it. The sound sources are PulseAudio's (or
// PipeWire's), else ALSA's, listed in the background. The camera controls are the node's V4L2
// controls; the sizes and rates its V4L2 modes.
//
// The live picture and the recording come from one FFmpeg process reading the device
// ($CLIPVANE_FFMPEG, else "ffmpeg" on the search path), started from an argument list (see
// recorderArguments); the next one starts once the last has gone. A recording is stopped
// with "q", so FFmpeg writes the AVI's index; should it not react, it is terminated (which
// FFmpeg also answers by finishing its files) and at last killed (ToolProcess::stop). Should
// this program die, FFmpeg is interrupted the same way. A device that sends nothing for a
// while ends the recording, and what a recording left is checked (and repaired when it lacks
// its index) before the recording counts as saved. A recorder still running when the
// component goes is left to ChildTools, which sees its stop through.
class LinuxCapture : public CaptureComponent {
    Q_OBJECT
public:
    static constexpr int kLiveWidth = kLivePictureWidth;
    static constexpr int kLiveHeight = kLivePictureHeight;

    explicit LinuxCapture(QObject* parent = nullptr, const CaptureSystem& system = {});
    ~LinuxCapture() override;

    bool isListing() const override { return m_listings > 0; }
    int deviceCount() const override { return static_cast<int>(m_devices.size()); }
    QString deviceName(int index) const override;
    bool isConnected() const override { return m_connected; }
    void setConnected(bool connected) override;
    int deviceIndex() const override { return m_index; }
    void setDeviceIndex(int index) override { m_index = index; }
    bool livePicture() const override { return m_live; }
    void setLivePicture(bool on) override;
    QList<QSize> frameSizes() const override;
    QList<FrameRate> frameRates(const QSize& size) const override;
    QSize frameSize() const override { return m_size; }
    FrameRate frameRate() const override { return m_rate; }
    void setFrameMode(const QSize& size, const FrameRate& rate) override;
    QStringList soundSourceNames() const override;
    int preferredSoundSource() const override;
    int soundSource() const override { return m_sound; }
    void setSoundSource(int index) override;
    bool deviceHasOwnSound() const override;
    QString fileName() const override { return m_fileName; }
    void setFileName(const QString& path) override { m_fileName = path; }
    bool startRecording() override;
    void stopRecording() override;
    bool isRecording() const override { return m_recording; }
    bool isFinishing() const override { return m_finishing; }
    CaptureStatistics statistics() const override { return m_statistics; }
    QString errorText() const override { return m_error; }
    std::optional<CameraRange> cameraRange(int property) const override;
    int cameraValue(int property) const override;
    bool setCameraValue(int property, int value) override;

    // The running FFmpeg's process id, or 0.
    qint64 processId() const;

    // Grace periods of a stop: after "q", after the terminate signal.
    void setStopGrace(int quitMs, int terminateMs) {
        m_quitGraceMs = quitMs;
        m_terminateGraceMs = terminateMs;
    }
    // How long a recording may go without a new picture before it is ended.
    void setStallLimit(int ms) { m_stallLimitMs = ms; }
    // The synthetic device as tests want it (see RecorderPlan).
    void setSyntheticSoundLag(int ms) { m_syntheticSoundLagMs = ms; }
    void setSyntheticPictureEnd(int seconds) { m_syntheticPictureEndsAfterS = seconds; }

private:
    struct Device {
        PictureInput::Kind kind = PictureInput::Kind::Synthetic;
        QString name;
        QString node; // V4l2: /dev/videoN; Dv: /dev/fwN
        QString guid; // Dv
    };

    const Device* connectedDevice() const;
    const V4l2Driver& driver() const;
    RecorderPlan planFor(const Device& device, const QString& file) const;
    void takeDvCamcorders(const QList<DvCamcorder>& camcorders);
    void takeSoundSources(const QList<SoundSource>& sources);
    void listingDone();
    bool startProcess(bool record, const QString& file);
    bool startRecorder(const QString& file);
    void endProcess(bool finishFile);
    void abandonProcess();
    void onStandardOutput(const QByteArray& piece);
    void onStandardError(const QByteArray& piece);
    void onFinished(const ToolExit& exit);
    void processGone(const ToolExit& exit, bool recorded);
    void takeReportLine(const QByteArray& line);
    void resumeLivePicture();
    void watchRecording();
    void endRecordingBecause(const QString& reason);
    void checkRecording();
    void onChecked(const RecordingCheck& check);
    void completeRecording();
    QString whyItEnded(const ToolExit& exit) const;

    CaptureSystem m_system;
    QList<Device> m_devices;
    QList<SoundSource> m_soundSources; // the test tone has no input arguments
    int m_listings = 0;                // listings still under way
    int m_index = 0;
    bool m_connected = false;
    bool m_live = false;
    QList<V4l2Mode> m_modes; // of the connected device
    QSize m_size;
    FrameRate m_rate;
    int m_sound = -1;
    QString m_fileName;

    std::unique_ptr<ToolProcess> m_process;
    bool m_processRecords = false;
    bool m_ending = false;
    bool m_recording = false;
    bool m_finishing = false; // stopped or ended, not yet finished and checked
    QString m_waitingFile;    // a recording waiting for the live picture's process to go
    std::unique_ptr<RecordingChecker> m_checker;
    QByteArray m_frames;
    QByteArray m_reports;
    CaptureStatistics m_report;
    CaptureStatistics m_statistics;
    qint64 m_duplicated = 0;
    // The recording's picture rate (invalid: not known), and whether it copies the camera's
    // stream: its time is counted in pictures.
    FrameRate m_recordRate;
    bool m_recordCopies = false;
    QString m_error;
    QString m_lastComplaint;
    QString m_recorderComplaint; // the recorder's last complaint, once it has gone
    QString m_endReason;         // why the recording ended by itself; empty: it was stopped
    QTimer m_resume;
    QTimer m_watch;
    QTimer m_checkSoon;
    QTimer m_abandon;        // a process that does not go even when killed is left behind
    bool m_fileSeen = false; // the recording's file has been there
    qint64 m_lastFrames = -1;
    qint64 m_quietMs = 0;
    int m_quitGraceMs = 5000;
    int m_terminateGraceMs = 2000;
    int m_stallLimitMs = 10000;
    int m_syntheticSoundLagMs = 0;
    int m_syntheticPictureEndsAfterS = 0;
};

} // namespace clipvane
