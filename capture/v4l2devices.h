#pragma once

#include "capture/capturecomponent.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace clipvane {

// One open V4L2 node: the requests the program makes of it. Tests answer them from tables.
class V4l2Node {
public:
    virtual ~V4l2Node() = default;
    // The ioctl's answer: false when the driver refuses (or the list ends: EINVAL).
    virtual bool request(unsigned long request, void* argument) = 0;
};

// Opens V4L2 nodes: the kernel's, or a test's.
class V4l2Driver {
public:
    virtual ~V4l2Driver() = default;
    // nullptr when the node cannot be opened.
    virtual std::unique_ptr<V4l2Node> open(const QString& path) const = 0;
    // The kernel's nodes.
    static const V4l2Driver& system();
};

// A V4L2 node that captures video: its path and the card name the driver reports.
struct V4l2Device {
    QString path;
    QString name;
};

// The video*-nodes of devFolder that answer VIDIOC_QUERYCAP with the video-capture
// capability, in node order (video2 before video10). Nodes that cannot be opened or
// answer otherwise (metadata nodes, output devices, plain files) are left out.
QList<V4l2Device> captureNodes(const QString& devFolder,
                               const V4l2Driver& driver = V4l2Driver::system());

// One way a node delivers pictures: a pixel format at one size, with the rates it offers.
struct V4l2Mode {
    quint32 fourcc = 0;  // V4L2_PIX_FMT_…
    QString inputFormat; // FFmpeg's name of it for -input_format: "mjpeg", "yuyv422", …
    bool isMjpeg = false;
    QSize size;
    QList<FrameRate> rates; // fastest first
};

// The sizes of a list of modes, largest first, and the rates offered at one size, fastest first.
QList<QSize> modeSizes(const QList<V4l2Mode>& modes);
QList<FrameRate> modeRates(const QList<V4l2Mode>& modes, const QSize& size);
// The largest size that offers 30 or 25 pictures per second (30 first), else the largest
// size at the rate nearest to 30. Nothing when there are no modes.
std::optional<std::pair<QSize, FrameRate>> defaultMode(const QList<V4l2Mode>& modes);
// The mode to ask for a size and rate in: MJPEG first (the camera compresses it; no copy is
// slower than the camera), else the first format that offers them. nullptr when none does.
const V4l2Mode* modeFor(const QList<V4l2Mode>& modes, const QSize& size, const FrameRate& rate);

// FFmpeg's name of a V4L2 pixel format; empty when FFmpeg cannot ask for it.
QString ffmpegPixelFormat(quint32 fourcc);

// The modes of a node from VIDIOC_ENUM_FMT, VIDIOC_ENUM_FRAMESIZES and
// VIDIOC_ENUM_FRAMEINTERVALS. Stepwise and continuous ranges offer the usual sizes and rates
// within them. Every list is bounded: a driver that never ends one cannot hang the window.
QList<V4l2Mode> captureModes(const QString& node, const V4l2Driver& driver = V4l2Driver::system());

// The camera controls of a node, numbered as CaptureComponent::CameraProperty: pan, tilt and
// zoom are the V4L2 absolute controls with the range and step the device reports; roll has no
// V4L2 control and is never supported.
std::optional<CameraRange> cameraControlRange(const QString& node, int property,
                                              const V4l2Driver& driver = V4l2Driver::system());
std::optional<int> cameraControlValue(const QString& node, int property,
                                      const V4l2Driver& driver = V4l2Driver::system());
bool setCameraControlValue(const QString& node, int property, int value,
                           const V4l2Driver& driver = V4l2Driver::system());

} // namespace clipvane
