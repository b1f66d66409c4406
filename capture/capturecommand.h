#pragma once

#include "capture/capturecomponent.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace clipvane {

// Where the pictures come from.
struct PictureInput {
    enum class Kind {
        V4l2,      // a V4L2 node, in a mode of its own
        Dv,        // a DV camcorder over FireWire: picture and sound in one stream
        Synthetic, // FFmpeg's test picture in real time, with a flashing square
    };
    Kind kind = Kind::Synthetic;
    QString node;        // V4l2: "/dev/video0"
    QString guid;        // Dv: "0x0800460104a1b2c3"; empty: the first camcorder
    QString inputFormat; // V4l2: "mjpeg", "yuyv422"; empty: the device's own
    QSize size;          // V4l2, Synthetic; empty: the device's own
    FrameRate rate;      // V4l2, Synthetic; invalid: the device's own
    bool isMjpeg() const { return kind == Kind::V4l2 && inputFormat == QLatin1String("mjpeg"); }
};

// Where the sound comes from.
struct SoundInput {
    enum class Kind {
        None,
        Device,    // input holds FFmpeg's input arguments: {"-f", "pulse", "-i", "name"}
        Synthetic, // a quiet hum with a beep whenever the synthetic picture flashes
    };
    Kind kind = Kind::None;
    QStringList input;
};

// One run of the recorder.
struct RecorderPlan {
    PictureInput picture;
    SoundInput sound;
    QString file; // the AVI to write; empty: the live picture only
    // Devices stamp what they deliver with the wall clock: seconds since the epoch just
    // before FFmpeg starts, the moment every input is measured from.
    double origin = 0;
    // The synthetic device as tests want it: its sound starting this much after its picture
    // (as a late microphone would), its picture ending after this many seconds (0: never).
    int syntheticSoundLagMs = 0;
    int syntheticPictureEndsAfterS = 0;
};

// The live picture's frames on standard output: rgb24, this size, letterboxed.
constexpr int kLivePictureWidth = 160;
constexpr int kLivePictureHeight = 120;
constexpr int kLivePictureRate = 10;

// FFmpeg's arguments (without the program) for a plan: progress reports on standard error
// every half second, the AVI first (its frames are the ones reported), the live picture
// on standard output. In the AVI the picture is MJPEG: the camera's own MJPEG copied as it
// comes, anything else compressed; the sound is PCM, kept in step with the picture by the
// devices' own timestamps. The picture's rate is kept constant: a picture the device did not
// deliver in time is repeated, and counted as dropped.
QStringList recorderArguments(const RecorderPlan& plan);

// Whether a recording of the plan copies the camera's own stream (DV, and MJPEG at a known
// rate) rather than compressing the pictures itself.
bool copiesPicture(const RecorderPlan& plan);

// The synthetic device's flashes (and beeps): when they start, in seconds, within each
// period. Uneven, so that no flash can be taken for its neighbour.
inline constexpr double kSyntheticMarkers[] = {1.0, 2.2, 3.8};
inline constexpr double kSyntheticMarkerPeriod = 6.0;
inline constexpr double kSyntheticMarkerLength = 0.1;

} // namespace clipvane
