#pragma once

#include "capture/capturecomponent.h"

#include <QList>
#include <QString>
#include <optional>

namespace clipvane {

// A V4L2 node that captures video: its path and the card name the driver reports.
struct V4l2Node {
    QString path;
    QString name;
};

// The video*-nodes of devFolder that answer VIDIOC_QUERYCAP with the video-capture
// capability, in node order (video2 before video10). Nodes that cannot be opened or
// answer otherwise (metadata nodes, output devices, plain files) are left out.
QList<V4l2Node> captureNodes(const QString& devFolder);

// The camera controls of a node, numbered as CaptureComponent::CameraProperty: pan, tilt and
// zoom are the V4L2 absolute controls; roll has no V4L2 control and is never supported.
std::optional<CameraRange> cameraControlRange(const QString& node, int property);
std::optional<int> cameraControlValue(const QString& node, int property);
bool setCameraControlValue(const QString& node, int property, int value);

} // namespace clipvane
