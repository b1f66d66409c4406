#include "convert/hardwareencoders.h"

#include "process/toolpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>

namespace clipvane {

QString hardwareKindName(HardwareKind kind) {
    switch (kind) {
    case HardwareKind::Vaapi:
        return QStringLiteral("VAAPI");
    case HardwareKind::QuickSync:
        return QStringLiteral("Quick Sync");
    case HardwareKind::Nvenc:
        return QStringLiteral("NVENC");
    case HardwareKind::Software:
        break;
    }
    return QStringLiteral("Software");
}

std::optional<HardwareKind> hardwareKindNamed(const QString& name) {
    for (const HardwareKind kind : {HardwareKind::Software, HardwareKind::Vaapi,
                                    HardwareKind::QuickSync, HardwareKind::Nvenc}) {
        if (hardwareKindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}

HardwareDevices HardwareDevices::onThisMachine() {
    HardwareDevices devices;
    const QDir dri(QStringLiteral("/dev/dri"));
    for (const QString& node : dri.entryList({QStringLiteral("renderD*")}, QDir::System))
        devices.renderNodes << dri.filePath(node);
    devices.nvidia = QFileInfo::exists(QStringLiteral("/dev/nvidia0"));
    return devices;
}

QList<HardwareEncoder> hardwareCandidates(const HardwareDevices& devices) {
    QList<HardwareEncoder> candidates;
    for (const char* codec : {"H.264", "H.265"}) {
        // Each render node may be a different card; Quick Sync picks its own.
        for (const QString& node : devices.renderNodes)
            candidates << HardwareEncoder{HardwareKind::Vaapi, QLatin1String(codec), node};
        if (!devices.renderNodes.isEmpty())
            candidates << HardwareEncoder{HardwareKind::QuickSync, QLatin1String(codec), {}};
        if (devices.nvidia)
            candidates << HardwareEncoder{HardwareKind::Nvenc, QLatin1String(codec), {}};
    }
    return candidates;
}

namespace {
QString encoderName(const HardwareEncoder& e) {
    const QString family =
        e.codec == QLatin1String("H.265") ? QStringLiteral("hevc") : QStringLiteral("h264");
    switch (e.kind) {
    case HardwareKind::Vaapi:
        return family + QStringLiteral("_vaapi");
    case HardwareKind::QuickSync:
        return family + QStringLiteral("_qsv");
    case HardwareKind::Nvenc:
        return family + QStringLiteral("_nvenc");
    case HardwareKind::Software:
        break;
    }
    return e.codec == QLatin1String("H.265") ? QStringLiteral("libx265")
                                             : QStringLiteral("libx264");
}
} // namespace

HardwareArguments hardwareArguments(const HardwareEncoder& e, std::optional<double> kbits,
                                    std::optional<int> quality, int speedIndex) {
    HardwareArguments out;
    const bool hevc = e.codec == QLatin1String("H.265");
    const int level = quality.value_or(hevc ? 28 : 23);
    const QString rate =
        kbits ? QString::number(std::llround(*kbits)) + QLatin1Char('k') : QString();
    speedIndex = std::clamp(speedIndex, 0, 2);
    out.encoder << QStringLiteral("-c:v") << encoderName(e);
    switch (e.kind) {
    case HardwareKind::Vaapi:
        out.beforeInput << QStringLiteral("-vaapi_device") << e.device;
        out.filterTail = QStringLiteral("format=nv12,hwupload");
        if (kbits)
            out.encoder << QStringLiteral("-b:v") << rate;
        else
            out.encoder << QStringLiteral("-qp") << QString::number(level);
        break;
    case HardwareKind::QuickSync:
        out.encoder << QStringLiteral("-pix_fmt") << QStringLiteral("nv12");
        if (kbits)
            out.encoder << QStringLiteral("-b:v") << rate;
        else
            out.encoder << QStringLiteral("-global_quality") << QString::number(level);
        out.encoder << QStringLiteral("-preset")
                    << QStringList{QStringLiteral("veryfast"), QStringLiteral("medium"),
                                   QStringLiteral("veryslow")}
                           .at(speedIndex);
        break;
    case HardwareKind::Nvenc:
        out.encoder << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        if (kbits)
            out.encoder << QStringLiteral("-b:v") << rate;
        else
            out.encoder << QStringLiteral("-rc") << QStringLiteral("vbr") << QStringLiteral("-cq")
                        << QString::number(level) << QStringLiteral("-b:v") << QStringLiteral("0");
        out.encoder << QStringLiteral("-preset")
                    << QStringList{QStringLiteral("p2"), QStringLiteral("p4"), QStringLiteral("p6")}
                           .at(speedIndex);
        break;
    case HardwareKind::Software:
        break;
    }
    if (hevc)
        out.encoder << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
    return out;
}

QStringList trialArguments(const HardwareEncoder& encoder) {
    const HardwareArguments a = hardwareArguments(encoder, std::nullopt, std::nullopt, 0);
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin")};
    args << a.beforeInput << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
         << QStringLiteral("color=black:size=256x144:rate=25") << QStringLiteral("-frames:v")
         << QStringLiteral("1");
    if (!a.filterTail.isEmpty())
        args << QStringLiteral("-vf") << a.filterTail;
    args << a.encoder << QStringLiteral("-f") << QStringLiteral("null") << QStringLiteral("-");
    return args;
}

namespace {
QList<HardwareEncoder>& usable() {
    static QList<HardwareEncoder> found;
    return found;
}
} // namespace

void setUsableHardware(const QList<HardwareEncoder>& found) {
    usable() = found;
}

std::optional<HardwareEncoder> usableHardware(HardwareKind kind, const QString& codec) {
    for (const HardwareEncoder& e : usable()) {
        if (e.kind == kind && e.codec == codec)
            return e;
    }
    return std::nullopt;
}

HardwareSearch::HardwareSearch(QObject* parent) : QObject(parent) {}

HardwareSearch::~HardwareSearch() = default;

void HardwareSearch::start(const HardwareDevices& devices) {
    m_left = hardwareCandidates(devices);
    m_usable.clear();
    // Nothing to try on a machine without the devices: answered from the event loop all the
    // same.
    QTimer::singleShot(0, this, &HardwareSearch::next);
}

void HardwareSearch::next() {
    if (m_left.isEmpty()) {
        emit finished(m_usable);
        return;
    }
    const HardwareEncoder trying = m_left.takeFirst();
    m_ended = std::move(m_trial);
    m_trial = std::make_unique<ToolProcess>();
    connect(m_trial.get(), &ToolProcess::finished, this, [this, trying](const ToolExit& exit) {
        if (exit.succeeded())
            m_usable << trying;
        next();
    });
    ToolProcess::Options options;
    options.timeLimitMs = m_limitMs;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    if (!m_trial->start(QStringList{ffmpegProgram()} + trialArguments(trying), options))
        QTimer::singleShot(0, this, &HardwareSearch::next);
}

} // namespace clipvane
