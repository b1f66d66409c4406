#pragma once

#include "capture/capturecomponent.h"

#include "process/toolprocess.h"
#include <QList>

#include <QStringList>
#include <QTimer>
#include <memory>

namespace clipvane {

// The capture component on Linux. The devices are the V4L2 video-capture nodes, by card name
// in node order, plus, when CLIPVANE_CAPTURE_TEST_DEVICE is set, a synthetic device of that
// name that shows FFmpeg's test picture in real time. The camera controls are the node's V4L2
// controls.
//
// The live picture and the recording come from one FFmpeg process reading the device
// ($CLIPVANE_FFMPEG, else "ffmpeg" on the search path), started from an argument list: the
// recording as an AVI file with MJPEG video and no sound, the live picture as small rgb24
// frames on its standard output, and the statistics from its progress reports on standard
// error. A recording is stopped with "q", so FFmpeg writes the AVI's index; should it not
// react, it is terminated (which FFmpeg also answers by finishing its files) and at last
// killed. Should this program die, FFmpeg is interrupted the same way.
class LinuxCapture : public CaptureComponent {
    Q_OBJECT
public:
    static constexpr int kLiveWidth = 160;
    static constexpr int kLiveHeight = 120;
    static constexpr int kLiveRate = 10;

    // devFolder: where the device nodes are looked for (tests give a folder of their own).
    explicit LinuxCapture(QObject* parent = nullptr, const QString& devFolder = "/dev");
    ~LinuxCapture() override;

    int deviceCount() const override { return static_cast<int>(m_devices.size()); }
    QString deviceName(int index) const override;
    bool isConnected() const override { return m_connected; }
    void setConnected(bool connected) override;
    int deviceIndex() const override { return m_index; }
    void setDeviceIndex(int index) override { m_index = index; }
    bool livePicture() const override { return m_live; }
    void setLivePicture(bool on) override;
    QString fileName() const override { return m_fileName; }
    void setFileName(const QString& path) override { m_fileName = path; }
    bool startRecording() override;
    void stopRecording() override;
    bool isRecording() const override { return m_recording; }
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

private:
    struct Device {
        QString name;
        QString node; // empty: the synthetic device
    };

    const Device* connectedDevice() const;
    bool startProcess(bool record, const QString& file);
    void endProcess(bool finishFile);
    void onStandardOutput(const QByteArray& piece);
    void onStandardError(const QByteArray& piece);
    void onFinished(const ToolExit& exit);
    void takeReportLine(const QByteArray& line);
    void resumeLivePicture();

    QList<Device> m_devices;
    int m_index = 0;
    bool m_connected = false;
    bool m_live = false;
    QString m_fileName;

    std::unique_ptr<ToolProcess> m_process;
    bool m_processRecords = false;
    bool m_ending = false;
    bool m_recording = false;
    QByteArray m_frames;
    QByteArray m_reports;
    CaptureStatistics m_report;
    CaptureStatistics m_statistics;
    QString m_error;
    QString m_lastComplaint;
    QTimer m_resume;
    int m_quitGraceMs = 5000;
    int m_terminateGraceMs = 2000;
};

} // namespace clipvane
