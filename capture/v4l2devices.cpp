#include "capture/v4l2devices.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace clipvane {
namespace {

// An open device node, closed when it goes.
class NodeFile {
public:
    explicit NodeFile(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        m_fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0 && errno == EACCES)
            m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~NodeFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    NodeFile(const NodeFile&) = delete;
    NodeFile& operator=(const NodeFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    template <typename T> bool ioctl(unsigned long request, T* argument) const {
        if (m_fd < 0)
            return false;
        int result;
        do {
            result = ::ioctl(m_fd, request, argument);
        } while (result < 0 && errno == EINTR);
        return result == 0;
    }

private:
    int m_fd = -1;
};

std::optional<quint32> controlId(int property) {
    switch (property) {
    case CaptureComponent::Pan:
        return V4L2_CID_PAN_ABSOLUTE;
    case CaptureComponent::Tilt:
        return V4L2_CID_TILT_ABSOLUTE;
    case CaptureComponent::Zoom:
        return V4L2_CID_ZOOM_ABSOLUTE;
    default: // roll, and anything else
        return std::nullopt;
    }
}

QString fixedText(const __u8* bytes, size_t size) {
    const auto* end = std::find(bytes, bytes + size, __u8(0));
    return QString::fromUtf8(reinterpret_cast<const char*>(bytes), end - bytes).trimmed();
}

} // namespace

QList<V4l2Node> captureNodes(const QString& devFolder) {
    static const QRegularExpression nodeName(QStringLiteral("^video(\\d{1,6})$"));
    QList<std::pair<int, QString>> numbered;
    const QDir dir(devFolder);
    for (const QString& entry : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (const auto m = nodeName.match(entry); m.hasMatch())
            numbered.append({m.captured(1).toInt(), dir.absoluteFilePath(entry)});
    }
    std::sort(numbered.begin(), numbered.end());

    QList<V4l2Node> nodes;
    for (const auto& [number, path] : numbered) {
        const NodeFile node(path);
        v4l2_capability caps{};
        if (!node.ioctl(VIDIOC_QUERYCAP, &caps))
            continue;
        const quint32 own =
            (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
        if (!(own & V4L2_CAP_VIDEO_CAPTURE))
            continue;
        QString name = fixedText(caps.card, sizeof caps.card);
        if (name.isEmpty())
            name = QFileInfo(path).fileName();
        nodes.append({path, name});
    }
    return nodes;
}

std::optional<CameraRange> cameraControlRange(const QString& node, int property) {
    const auto id = controlId(property);
    if (!id)
        return std::nullopt;
    const NodeFile file(node);
    v4l2_queryctrl query{};
    query.id = *id;
    if (!file.ioctl(VIDIOC_QUERYCTRL, &query))
        return std::nullopt;
    if ((query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) ||
        query.type != V4L2_CTRL_TYPE_INTEGER || query.minimum > query.maximum)
        return std::nullopt;
    return CameraRange{query.minimum, query.maximum};
}

std::optional<int> cameraControlValue(const QString& node, int property) {
    const auto id = controlId(property);
    if (!id)
        return std::nullopt;
    const NodeFile file(node);
    v4l2_control control{};
    control.id = *id;
    if (!file.ioctl(VIDIOC_G_CTRL, &control))
        return std::nullopt;
    return control.value;
}

bool setCameraControlValue(const QString& node, int property, int value) {
    const auto id = controlId(property);
    if (!id)
        return false;
    const NodeFile file(node);
    v4l2_control control{};
    control.id = *id;
    control.value = value;
    return file.ioctl(VIDIOC_S_CTRL, &control);
}

} // namespace clipvane
