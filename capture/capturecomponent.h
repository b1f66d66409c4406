#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

// Running figures of the recording under way (or of the last one).
struct CaptureStatistics {
    qint64 frames = 0;       // frames written to the file
    qint64 dropped = 0;      // frames the device delivered that were not written
    qint64 milliseconds = 0; // recording time
};

// What a device reports for one camera control.
struct CameraRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
};

// Pictures per second as the device counts them: frames / seconds (30000/1001 is NTSC's 29.97).
struct FrameRate {
    quint32 frames = 0;
    quint32 seconds = 1;

    bool isValid() const { return frames > 0 && seconds > 0; }
    double perSecond() const { return isValid() ? double(frames) / seconds : 0.0; }
    // "30", "29.97", "7.5": as shown to the user.
    QString text() const;
    // "30", "30000/1001": as FFmpeg takes it.
    QString ffmpegText() const;
    bool operator==(const FrameRate& other) const {
        return quint64(frames) * other.seconds == quint64(other.frames) * seconds;
    }
};

// The capture component the capture window talks to: the list of capture devices, the one
// chosen, its live picture, the recording into a file and the camera controls. The window
// holds no device code; tests give it a fake. Nothing here waits for a tool: what takes a
// tool's time (listing, finishing and checking a recording) goes on in the background and
// ends with a signal.
class CaptureComponent : public QObject {
    Q_OBJECT
public:
    // Camera control numbers, as the window's sliders are numbered.
    enum CameraProperty : int { Pan = 0, Tilt = 1, Roll = 2, Zoom = 3 };

    using QObject::QObject;

    // The devices and sound sources found at once. Those only a tool can tell (the sound
    // servers' sources, whether FFmpeg reads DV camcorders) are listed in the background:
    // isListing() meanwhile, and listsChanged() when one of those lists comes in. A device
    // that comes before the chosen one moves its index (deviceIndex() follows).
    virtual bool isListing() const = 0;
    virtual int deviceCount() const = 0;
    virtual QString deviceName(int index) const = 0;

    // Switching the device: disconnect, set the index, connect. Disconnecting ends the live
    // picture and any recording (as stopRecording() does: the file is finished properly).
    virtual bool isConnected() const = 0;
    virtual void setConnected(bool connected) = 0;
    virtual int deviceIndex() const = 0;
    virtual void setDeviceIndex(int index) = 0;

    // The live picture: liveFrame() is emitted a few times a second while it is on.
    virtual bool livePicture() const = 0;
    virtual void setLivePicture(bool on) = 0;

    // The picture sizes the connected device offers, largest first, and the rates it offers at
    // one of them, fastest first. Empty when the device does not say: it then keeps its own.
    virtual QList<QSize> frameSizes() const = 0;
    virtual QList<FrameRate> frameRates(const QSize& size) const = 0;
    // The size and rate in use. Connecting a device chooses the largest size at 25 or 30
    // pictures per second; a new choice restarts the live picture in it.
    virtual QSize frameSize() const = 0;
    virtual FrameRate frameRate() const = 0;
    virtual void setFrameMode(const QSize& size, const FrameRate& rate) = 0;

    // The sound sources of the machine, by name, and the one recorded with the picture
    // (-1: none). preferredSoundSource() is the one to offer first (-1 when there is none).
    // When the list changes, the source chosen stays chosen; one that was only the preferred
    // one gives way to the new preferred one.
    virtual QStringList soundSourceNames() const = 0;
    virtual int preferredSoundSource() const = 0;
    virtual int soundSource() const = 0;
    virtual void setSoundSource(int index) = 0;
    // Whether the connected device brings its own sound (a DV camcorder): no source is used.
    virtual bool deviceHasOwnSound() const = 0;

    // The file to record into. After startRecording() it names the file actually used.
    virtual QString fileName() const = 0;
    virtual void setFileName(const QString& path) = 0;

    // false when the recording could not start (errorText() says why), or while the last one
    // is still being finished (errorText() is then left alone).
    virtual bool startRecording() = 0;
    // Ends the recording and returns at once. FFmpeg finishing the file, and the check of
    // what it holds (and its repair when it lacks its index), go on in the background:
    // recordingFinished() follows, also for a recording that ended by itself.
    virtual void stopRecording() = 0;
    // false again once a recording has been stopped or has ended by itself.
    virtual bool isRecording() const = 0;
    // From the end of a recording until recordingFinished(): its file is being finished and
    // checked, and no new recording starts.
    virtual bool isFinishing() const = 0;
    // The recording's figures; their final values once it has finished.
    virtual CaptureStatistics statistics() const = 0;
    // Why the last recording failed to start, ended by itself or could not be saved; empty
    // when none of that happened. Valid for a recording once it has finished.
    virtual QString errorText() const = 0;

    // The connected device's camera controls; no range means not supported.
    virtual std::optional<CameraRange> cameraRange(int property) const = 0;
    virtual int cameraValue(int property) const = 0;
    virtual bool setCameraValue(int property, int value) = 0;

signals:
    // One picture of the live view, rgb24, width × height pixels, rows without padding.
    void liveFrame(const QByteArray& rgb24, int width, int height);
    // A list of devices or sound sources listed in the background has come in.
    void listsChanged();
    // A recording has ended, its file is finished and checked: errorText() says why when it
    // holds no recording, statistics() has its final figures.
    void recordingFinished();
};

} // namespace clipvane
