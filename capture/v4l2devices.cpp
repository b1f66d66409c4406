#include "capture/v4l2devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <numeric>
#include <sys/ioctl.h>
#include <unistd.h>

namespace clipvane {
namespace {

// A driver that never ends a list must not hang the window.
constexpr int kMaxListed = 256;

// A node of the kernel's, closed when it goes.
class KernelNode : public V4l2Node {
public:
    explicit KernelNode(int fd) : m_fd(fd) {}
    ~KernelNode() override { ::close(m_fd); }
    KernelNode(const KernelNode&) = delete;
    KernelNode& operator=(const KernelNode&) = delete;

    bool request(unsigned long request, void* argument) override {
        int result;
        do {
            result = ::ioctl(m_fd, request, argument);
        } while (result < 0 && errno == EINTR);
        return result == 0;
    }

private:
    int m_fd;
};

class KernelDriver : public V4l2Driver {
public:
    std::unique_ptr<V4l2Node> open(const QString& path) const override {
        const QByteArray name = QFile::encodeName(path);
        int fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        return std::make_unique<KernelNode>(fd);
    }
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

// A frame interval (seconds per picture) as a rate (pictures per second), reduced.
FrameRate rateOf(const v4l2_fract& interval) {
    if (interval.numerator == 0 || interval.denominator == 0)
        return {};
    const quint32 common = std::gcd(interval.numerator, interval.denominator);
    return {interval.denominator / common, interval.numerator / common};
}

// The usual sizes within a stepwise or continuous range, and its largest.
QList<QSize> sizesWithin(const v4l2_frmsize_stepwise& range) {
    static const QSize usual[] = {{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 1024},
                                  {1280, 720},  {1024, 768},  {800, 600},   {720, 576},
                                  {720, 480},   {640, 480},   {320, 240},   {160, 120}};
    const auto fits = [&](const QSize& s) {
        const quint32 w = quint32(s.width()), h = quint32(s.height());
        return w >= range.min_width && w <= range.max_width && h >= range.min_height &&
               h <= range.max_height &&
               (range.step_width <= 1 || (w - range.min_width) % range.step_width == 0) &&
               (range.step_height <= 1 || (h - range.min_height) % range.step_height == 0);
    };
    QList<QSize> sizes;
    const QSize largest(int(std::min<quint32>(range.max_width, 16384)),
                        int(std::min<quint32>(range.max_height, 16384)));
    if (!largest.isEmpty())
        sizes.append(largest);
    for (const QSize& s : usual) {
        if (fits(s) && s != largest)
            sizes.append(s);
    }
    return sizes;
}

QList<FrameRate> ratesOf(V4l2Node& node, quint32 fourcc, const QSize& size) {
    QList<FrameRate> rates;
    for (int i = 0; i < kMaxListed; ++i) {
        v4l2_frmivalenum entry{};
        entry.index = quint32(i);
        entry.pixel_format = fourcc;
        entry.width = quint32(size.width());
        entry.height = quint32(size.height());
        if (!node.request(VIDIOC_ENUM_FRAMEINTERVALS, &entry))
            break;
        if (entry.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            if (const FrameRate rate = rateOf(entry.discrete); rate.isValid())
                rates.append(rate);
            continue;
        }
        // Stepwise or continuous: one answer, a range. The usual rates within it.
        const double slowest = rateOf(entry.stepwise.max).perSecond();
        const double fastest = rateOf(entry.stepwise.min).perSecond();
        for (const quint32 r : {60u, 50u, 30u, 25u, 24u, 20u, 15u, 10u, 5u, 1u}) {
            if (r >= slowest - 1e-6 && r <= fastest + 1e-6)
                rates.append({r, 1});
        }
        break;
    }
    std::sort(rates.begin(), rates.end(),
              [](const FrameRate& a, const FrameRate& b) { return a.perSecond() > b.perSecond(); });
    rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
    return rates;
}

} // namespace

const V4l2Driver& V4l2Driver::system() {
    static const KernelDriver kernel;
    return kernel;
}

QList<V4l2Device> captureNodes(const QString& devFolder, const V4l2Driver& driver) {
    static const QRegularExpression nodeName(QStringLiteral("^video(\\d{1,6})$"));
    QList<std::pair<int, QString>> numbered;
    const QDir dir(devFolder);
    for (const QString& entry : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (const auto m = nodeName.match(entry); m.hasMatch())
            numbered.append({m.captured(1).toInt(), dir.absoluteFilePath(entry)});
    }
    std::sort(numbered.begin(), numbered.end());

    QList<V4l2Device> devices;
    for (const auto& [number, path] : numbered) {
        const auto node = driver.open(path);
        v4l2_capability caps{};
        if (!node || !node->request(VIDIOC_QUERYCAP, &caps))
            continue;
        const quint32 own =
            (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
        if (!(own & V4L2_CAP_VIDEO_CAPTURE))
            continue;
        QString name = fixedText(caps.card, sizeof caps.card);
        if (name.isEmpty())
            name = QFileInfo(path).fileName();
        devices.append({path, name});
    }
    return devices;
}

QString ffmpegPixelFormat(quint32 fourcc) {
    // The formats cameras offer that FFmpeg's V4L2 input can ask for by name.
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return QStringLiteral("mjpeg");
    case V4L2_PIX_FMT_YUYV:
        return QStringLiteral("yuyv422");
    case V4L2_PIX_FMT_UYVY:
        return QStringLiteral("uyvy422");
    case V4L2_PIX_FMT_YUV420:
        return QStringLiteral("yuv420p");
    case V4L2_PIX_FMT_YUV422P:
        return QStringLiteral("yuv422p");
    case V4L2_PIX_FMT_NV12:
        return QStringLiteral("nv12");
    case V4L2_PIX_FMT_RGB24:
        return QStringLiteral("rgb24");
    case V4L2_PIX_FMT_BGR24:
        return QStringLiteral("bgr24");
    case V4L2_PIX_FMT_GREY:
        return QStringLiteral("gray");
    case V4L2_PIX_FMT_H264:
        return QStringLiteral("h264");
    default:
        return {};
    }
}

QList<V4l2Mode> captureModes(const QString& path, const V4l2Driver& driver) {
    QList<V4l2Mode> modes;
    const auto node = driver.open(path);
    if (!node)
        return modes;
    for (int f = 0; f < kMaxListed; ++f) {
        v4l2_fmtdesc format{};
        format.index = quint32(f);
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (!node->request(VIDIOC_ENUM_FMT, &format))
            break;
        const QString name = ffmpegPixelFormat(format.pixelformat);
        // Emulated formats come from libv4l, which FFmpeg does not use.
        if (name.isEmpty() || (format.flags & V4L2_FMT_FLAG_EMULATED))
            continue;
        QList<QSize> sizes;
        for (int s = 0; s < kMaxListed; ++s) {
            v4l2_frmsizeenum entry{};
            entry.index = quint32(s);
            entry.pixel_format = format.pixelformat;
            if (!node->request(VIDIOC_ENUM_FRAMESIZES, &entry))
                break;
            if (entry.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
                sizes += sizesWithin(entry.stepwise); // a range: the only answer
                break;
            }
            const QSize size(int(std::min<quint32>(entry.discrete.width, 16384)),
                             int(std::min<quint32>(entry.discrete.height, 16384)));
            if (!size.isEmpty() && !sizes.contains(size))
                sizes.append(size);
        }
        for (const QSize& size : std::as_const(sizes)) {
            const bool known = std::any_of(modes.begin(), modes.end(), [&](const V4l2Mode& m) {
                return m.fourcc == format.pixelformat && m.size == size;
            });
            if (known)
                continue;
            V4l2Mode mode;
            mode.fourcc = format.pixelformat;
            mode.inputFormat = name;
            mode.isMjpeg = name == QLatin1String("mjpeg");
            mode.size = size;
            mode.rates = ratesOf(*node, format.pixelformat, size);
            modes.append(mode);
        }
    }
    return modes;
}

QList<QSize> modeSizes(const QList<V4l2Mode>& modes) {
    QList<QSize> sizes;
    for (const V4l2Mode& mode : modes) {
        if (!sizes.contains(mode.size))
            sizes.append(mode.size);
    }
    std::stable_sort(sizes.begin(), sizes.end(), [](const QSize& a, const QSize& b) {
        return qint64(a.width()) * a.height() > qint64(b.width()) * b.height();
    });
    return sizes;
}

QList<FrameRate> modeRates(const QList<V4l2Mode>& modes, const QSize& size) {
    QList<FrameRate> rates;
    for (const V4l2Mode& mode : modes) {
        if (mode.size != size)
            continue;
        for (const FrameRate& rate : mode.rates) {
            if (!rates.contains(rate))
                rates.append(rate);
        }
    }
    std::stable_sort(rates.begin(), rates.end(), [](const FrameRate& a, const FrameRate& b) {
        return a.perSecond() > b.perSecond();
    });
    return rates;
}

std::optional<std::pair<QSize, FrameRate>> defaultMode(const QList<V4l2Mode>& modes) {
    const QList<QSize> sizes = modeSizes(modes);
    for (const QSize& size : sizes) {
        const QList<FrameRate> rates = modeRates(modes, size);
        for (const FrameRate wanted : {FrameRate{30, 1}, FrameRate{25, 1}}) {
            if (rates.contains(wanted))
                return std::pair{size, wanted};
        }
    }
    if (sizes.isEmpty())
        return std::nullopt;
    const QList<FrameRate> rates = modeRates(modes, sizes.first());
    FrameRate nearest;
    for (const FrameRate& rate : rates) {
        if (!nearest.isValid() ||
            std::abs(rate.perSecond() - 30) < std::abs(nearest.perSecond() - 30))
            nearest = rate;
    }
    return std::pair{sizes.first(), nearest};
}

const V4l2Mode* modeFor(const QList<V4l2Mode>& modes, const QSize& size, const FrameRate& rate) {
    const V4l2Mode* found = nullptr;
    for (const V4l2Mode& mode : modes) {
        const bool offers = mode.size == size &&
                            (!rate.isValid() || mode.rates.contains(rate) || mode.rates.isEmpty());
        if (offers && (!found || (mode.isMjpeg && !found->isMjpeg)))
            found = &mode;
    }
    return found;
}

std::optional<CameraRange> cameraControlRange(const QString& path, int property,
                                              const V4l2Driver& driver) {
    const auto id = controlId(property);
    if (!id)
        return std::nullopt;
    const auto node = driver.open(path);
    v4l2_queryctrl query{};
    query.id = *id;
    if (!node || !node->request(VIDIOC_QUERYCTRL, &query))
        return std::nullopt;
    if ((query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) ||
        query.type != V4L2_CTRL_TYPE_INTEGER || query.minimum > query.maximum)
        return std::nullopt;
    return CameraRange{query.minimum, query.maximum, std::max(1, query.step)};
}

std::optional<int> cameraControlValue(const QString& path, int property, const V4l2Driver& driver) {
    const auto id = controlId(property);
    if (!id)
        return std::nullopt;
    const auto node = driver.open(path);
    v4l2_control control{};
    control.id = *id;
    if (!node || !node->request(VIDIOC_G_CTRL, &control))
        return std::nullopt;
    return control.value;
}

bool setCameraControlValue(const QString& path, int property, int value, const V4l2Driver& driver) {
    const auto id = controlId(property);
    if (!id)
        return false;
    const auto node = driver.open(path);
    v4l2_control control{};
    control.id = *id;
    control.value = value;
    return node && node->request(VIDIOC_S_CTRL, &control);
}

} // namespace clipvane
