#include "convert/outputcheck.h"

#include "process/toolpaths.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>

namespace clipvane {
namespace {
double number(const QJsonValue& v) {
    bool ok = false;
    const double d = v.toString().toDouble(&ok);
    return ok && std::isfinite(d) ? d : -1;
}

// "25/1" as a number of frames per second, or 0.
double rate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    const double num = parts.value(0).toDouble();
    const double den = parts.size() > 1 ? parts.at(1).toDouble() : 1.0;
    return den > 0 && num > 0 ? num / den : 0;
}
} // namespace

double lengthTolerance(qint64 clipSeconds) {
    return std::max(1.1, 0.02 * static_cast<double>(clipSeconds));
}

QString judgeOutput(const QByteArray& probeJson, qint64 clipSeconds, bool expectVideo) {
    const QJsonObject root = QJsonDocument::fromJson(probeJson).object();
    const QJsonArray streams = root.value(QLatin1String("streams")).toArray();
    const QJsonObject video = streams.isEmpty() ? QJsonObject() : streams.first().toObject();
    const double packets = number(video.value(QLatin1String("nb_read_packets")));
    if (video.isEmpty() || packets <= 0)
        return expectVideo ? QStringLiteral("The encoder wrote an empty file: it holds no video.")
                           : QStringLiteral("The encoder wrote an empty file: it holds no sound.");
    double seconds =
        number(root.value(QLatin1String("format")).toObject().value(QLatin1String("duration")));
    if (seconds < 0) {
        // Containers without a duration (SWF): count the frames instead.
        const double fps = rate(video.value(QLatin1String("r_frame_rate")).toString());
        if (fps <= 0)
            return QString();
        seconds = packets / fps;
    }
    if (clipSeconds > 0 &&
        std::fabs(seconds - static_cast<double>(clipSeconds)) > lengthTolerance(clipSeconds)) {
        return QStringLiteral("The output lasts %1 s of a %2 s clip.")
            .arg(std::llround(seconds))
            .arg(clipSeconds);
    }
    return QString();
}

OutputCheck::OutputCheck(QObject* parent) : QObject(parent) {}

OutputCheck::~OutputCheck() = default;

void OutputCheck::start(const QString& outputPath, qint64 clipSeconds, bool expectVideo) {
    m_path = outputPath;
    m_clipSeconds = clipSeconds;
    m_expectVideo = expectVideo;
    m_done = false;
    const QFileInfo info(outputPath);
    if (!info.isFile() || info.size() == 0) {
        // Report from the event loop, as a real check would.
        QTimer::singleShot(0, this, [this] {
            done(QStringLiteral("The encoder wrote no output file, or an empty one."));
        });
        return;
    }
    m_prober = std::make_unique<ToolProcess>();
    connect(m_prober.get(), &ToolProcess::finished, this, [this](const ToolExit& exit) {
        if (exit.timedOut) {
            done(QString()); // a prober that hangs says nothing against the file
            return;
        }
        if (!exit.succeeded()) {
            // The prober could not read it at all: the file is not a playable video.
            done(QStringLiteral("The output cannot be read back: it is not a complete video."));
            return;
        }
        done(judgeOutput(m_prober->output(), m_clipSeconds, m_expectVideo));
    });
    ToolProcess::Options options;
    options.standardOutput = ToolProcess::Channel::Keep;
    options.keepBytes = 1024 * 1024;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    options.timeLimitMs = kTimeoutMs;
    const QStringList arguments{
        ffprobeProgram(),
        QStringLiteral("-v"),
        QStringLiteral("error"),
        QStringLiteral("-select_streams"),
        expectVideo ? QStringLiteral("v:0") : QStringLiteral("a:0"),
        QStringLiteral("-count_packets"),
        QStringLiteral("-show_entries"),
        QStringLiteral("stream=nb_read_packets,r_frame_rate:format=duration"),
        QStringLiteral("-of"),
        QStringLiteral("json"),
        QStringLiteral("--"),
        outputPath};
    if (!m_prober->start(arguments, options)) {
        // No prober here: the non-empty file stands.
        QTimer::singleShot(0, this, [this] { done(QString()); });
    }
}

void OutputCheck::done(const QString& failure) {
    if (m_done)
        return;
    m_done = true;
    emit finished(failure);
}

} // namespace clipvane
