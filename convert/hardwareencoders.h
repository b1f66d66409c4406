#pragma once

#include "process/toolprocess.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace clipvane {

// Video encoders in the graphics hardware: VAAPI (Intel and AMD on Linux), Quick Sync (Intel,
// through its own runtime) and NVENC (NVIDIA). The "Encoder" row of the H.264 and H.265
// profiles offers those this machine has, found at start by a trial encode of one frame, so
// that a device that is listed but cannot encode is never offered.
enum class HardwareKind { Software, Vaapi, QuickSync, Nvenc };

// The row's words: "Software", "VAAPI", "Quick Sync", "NVENC".
QString hardwareKindName(HardwareKind kind);
std::optional<HardwareKind> hardwareKindNamed(const QString& name);

// Where hardware may be: the render nodes (/dev/dri/renderD*) and whether NVIDIA's device is
// there. The machine's own, or a test's.
struct HardwareDevices {
    QStringList renderNodes;
    bool nvidia = false;
    static HardwareDevices onThisMachine();
};

// An encoder a trial may find: its kind, "H.264" or "H.265", and the render node it uses
// (VAAPI).
struct HardwareEncoder {
    HardwareKind kind = HardwareKind::Software;
    QString codec;
    QString device;
    bool operator==(const HardwareEncoder&) const = default;
};

// The encoders worth a trial on these devices, and the trial's arguments after the program:
// one black frame encoded to nowhere.
QList<HardwareEncoder> hardwareCandidates(const HardwareDevices& devices);
QStringList trialArguments(const HardwareEncoder& encoder);

// What the encoder command takes for a hardware encoder, beside the software one's place:
// arguments before the input (the device), what follows the picture filters (the upload to
// the device), and the encoder with its rate or quality. quality is on the codec's usual
// 0-51 scale (nothing: the profile's own level); kbits a bit rate (it wins over quality).
struct HardwareArguments {
    QStringList beforeInput;
    QString filterTail; // appended to the picture filter chain, after a comma; may be empty
    QStringList encoder;
};
HardwareArguments hardwareArguments(const HardwareEncoder& encoder, std::optional<double> kbits,
                                    std::optional<int> quality, int speedIndex);

// The encoders the search found on this machine (for the whole program), and the one of a
// kind for a codec, if found.
void setUsableHardware(const QList<HardwareEncoder>& found);
std::optional<HardwareEncoder> usableHardware(HardwareKind kind, const QString& codec);

// Runs the trials one after another, without waiting, and says which passed. Each trial has
// a time limit: a driver that hangs fails its trial.
class HardwareSearch : public QObject {
    Q_OBJECT
public:
    explicit HardwareSearch(QObject* parent = nullptr);
    ~HardwareSearch() override;
    void start(const HardwareDevices& devices);
    void setTrialLimitMs(int ms) { m_limitMs = ms; }

signals:
    void finished(const QList<HardwareEncoder>& usable);

private:
    void next();

    QList<HardwareEncoder> m_left;
    QList<HardwareEncoder> m_usable;
    std::unique_ptr<ToolProcess> m_trial;
    std::unique_ptr<ToolProcess> m_ended; // the trial whose end started the next
    int m_limitMs = 15000;
};

} // namespace clipvane
