#include "convert/outputcheck.h"

#include "process/toolpaths.h"

#include <QtConcurrent/QtConcurrentRun>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

namespace clipvane {
namespace {
constexpr qsizetype kHeadBytes = 32;
// Sound files up to this long are read whole.
constexpr qint64 kShortSoundSeconds = 30;

// ffprobe writes numbers as JSON numbers or as text.
std::optional<double> number(const QJsonValue& v) {
    if (v.isDouble())
        return v.toDouble();
    bool ok = false;
    const double d = v.toString().toDouble(&ok);
    return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

// An uncompressed SWF's header: "FWS", version, file length (LE32), the frame rectangle
// (5 bits of field width, then four fields), frame rate (8.8 fixed), frame count (LE16). An
// unfinished file keeps the encoder's placeholders for length and count.
struct SwfHeader {
    qint64 declaredBytes = 0;
    double framesPerSecond = 0;
    int frames = 0;
};

std::optional<SwfHeader> readSwfHeader(const QByteArray& head) {
    if (head.size() < 9 || !head.startsWith("FWS"))
        return std::nullopt;
    const auto byte = [&](qsizetype i) { return static_cast<quint32>(quint8(head.at(i))); };
    SwfHeader h;
    h.declaredBytes = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    const qsizetype rect = (5 + 4 * (byte(8) >> 3) + 7) / 8;
    if (head.size() < 12 + rect)
        return std::nullopt;
    h.framesPerSecond = (byte(8 + rect) | byte(9 + rect) << 8) / 256.0;
    h.frames = static_cast<int>(byte(10 + rect) | byte(11 + rect) << 8);
    return h;
}

QString firstLine(const QByteArray& text) {
    return QString::fromUtf8(text).trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
}

const QString& unfinished() {
    static const QString text = QCoreApplication::translate(
        "OutputCheck", "The encoder did not finish the output: the file ends early.");
    return text;
}

// How long the main stream's packets at the end of the file reach, or why the end is not what
// the index says: the main stream is the first video stream (the first sound stream for a
// sound-only output).
std::variant<double, QString> lengthAtTheEnd(const QJsonObject& root, qint64 fileBytes,
                                             bool expectVideo, const QString& empty) {
    const QJsonArray streams = root.value(QLatin1String("streams")).toArray();
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    const QString wanted = expectVideo ? QStringLiteral("video") : QStringLiteral("audio");
    std::optional<double> mainIndex;
    for (const QJsonValue& s : streams) {
        const QJsonObject stream = s.toObject();
        if (!mainIndex && stream.value(QLatin1String("codec_type")).toString() == wanted)
            mainIndex = number(stream.value(QLatin1String("index")));
        // Matroska names each stream's length only in the encoder's last step.
        if (format.value(QLatin1String("format_name"))
                .toString()
                .contains(QLatin1String("matroska")) &&
            stream.value(QLatin1String("tags"))
                .toObject()
                .value(QLatin1String("DURATION"))
                .toString()
                .isEmpty())
            return unfinished();
    }
    if (!mainIndex)
        return empty;
    std::optional<double> end;
    qint64 lastByte = 0;
    for (const QJsonValue& p : root.value(QLatin1String("packets")).toArray()) {
        const QJsonObject packet = p.toObject();
        const std::optional<double> pos = number(packet.value(QLatin1String("pos")));
        const std::optional<double> size = number(packet.value(QLatin1String("size")));
        if (pos && size)
            lastByte = std::max(lastByte, static_cast<qint64>(*pos + *size));
        const std::optional<double> time = number(packet.value(QLatin1String("pts_time")));
        if (number(packet.value(QLatin1String("stream_index"))) != mainIndex || !time)
            continue;
        const double reaches =
            *time + number(packet.value(QLatin1String("duration_time"))).value_or(0.0);
        end = std::max(end.value_or(reaches), reaches);
    }
    // No packet where the index points, or packets past the end: the data is not all there.
    if (!end || lastByte > fileBytes)
        return unfinished();
    return *end - number(format.value(QLatin1String("start_time"))).value_or(0.0);
}
} // namespace

double lengthTolerance(qint64 clipSeconds) {
    return std::max(1.1, 0.02 * static_cast<double>(clipSeconds));
}

QStringList proberArguments(const QString& outputPath, bool expectVideo, qint64 clipSeconds) {
    const QString extension = QLatin1Char('.') + QFileInfo(outputPath).suffix().toLower();
    const QString mainStream = expectVideo ? QStringLiteral("v:0") : QStringLiteral("a:0");
    QStringList args{QStringLiteral("-v"), QStringLiteral("error")};
    if (extension == QLatin1String(".swf")) {
        args << QStringLiteral("-select_streams") << mainStream << QStringLiteral("-read_intervals")
             << QStringLiteral("%+#1") << QStringLiteral("-show_entries")
             << QStringLiteral("packet=pts_time");
    } else if (extension == QLatin1String(".flv")) {
        // Seeking in an FLV reads the whole file: the first packet and the metadata suffice.
        args << QStringLiteral("-flv_full_metadata") << QStringLiteral("1")
             << QStringLiteral("-select_streams") << mainStream << QStringLiteral("-read_intervals")
             << QStringLiteral("%+#1") << QStringLiteral("-show_entries")
             << QStringLiteral("format=duration:format_tags=filesize,duration:packet=pts_time");
    } else {
        // A seek far past the end lands on the last key frame: what follows is read. Every
        // stream is shown, so that a complaint about any of them is printed.
        QString from = QStringLiteral("99999999%");
        if (extension == QLatin1String(".mp3") && clipSeconds > kShortSoundSeconds) {
            // An MP3 has no index, only its first frame's table of contents, whose last entry
            // may point at the very end; without it a seek reads every frame from the start.
            // So the seek goes through the table to a little before the clip's end: a file
            // cut before that point fails to seek.
            const qint64 seconds = std::min(clipSeconds * 98 / 100, clipSeconds - 10);
            args << QStringLiteral("-usetoc") << QStringLiteral("1");
            from = QString::number(seconds) + QLatin1Char('%');
        }
        args << QStringLiteral("-read_intervals") << from << QStringLiteral("-show_entries")
             << QStringLiteral("format=format_name,start_time,duration:stream=index,codec_type:"
                               "stream_tags=DURATION:packet=stream_index,pts_time,duration_time,"
                               "pos,size");
    }
    args << QStringLiteral("-of") << QStringLiteral("json") << QStringLiteral("--") << outputPath;
    return args;
}

QString judgeOutput(const OutputFacts& facts, qint64 clipSeconds, bool expectVideo) {
    if (facts.fileBytes <= 0)
        return QCoreApplication::translate("OutputCheck",
                                           "The encoder wrote no output file, or an empty one.");
    const QString unreadable = QCoreApplication::translate(
        "OutputCheck", "The output cannot be read back: it is not a complete video.");
    // Any complaint while reading (a cut file, an index pointing past the end) fails it; but
    // not the one an MP4 draws when its chapters have no titles: FFmpeg then leaves out their
    // text track and keeps the reference to it, and the chapters still read from their list.
    QByteArray errors;
    for (const QByteArray& line : facts.probeErrors.split('\n')) {
        if (!line.trimmed().isEmpty() &&
            !line.trimmed().endsWith("Referenced QT chapter track not found"))
            errors += line + '\n';
    }
    if (facts.probeExitCode != 0 || !errors.isEmpty()) {
        const QString said = firstLine(errors);
        return said.isEmpty() ? unreadable : unreadable + QLatin1Char('\n') + said;
    }
    QJsonParseError parsed;
    const QJsonObject root = QJsonDocument::fromJson(facts.probeJson, &parsed).object();
    if (parsed.error != QJsonParseError::NoError)
        return unreadable;
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    const bool anyPacket = !root.value(QLatin1String("packets")).toArray().isEmpty();
    const QString empty =
        expectVideo
            ? QCoreApplication::translate("OutputCheck",
                                          "The encoder wrote an empty file: it holds no video.")
            : QCoreApplication::translate("OutputCheck",
                                          "The encoder wrote an empty file: it holds no sound.");
    double seconds = 0;
    if (facts.extension == QLatin1String(".swf")) {
        const std::optional<SwfHeader> header = readSwfHeader(facts.head);
        if (!header || header->framesPerSecond <= 0)
            return unreadable;
        if (header->declaredBytes != facts.fileBytes)
            return unfinished();
        if (!anyPacket)
            return empty;
        seconds = header->frames / header->framesPerSecond;
    } else if (facts.extension == QLatin1String(".flv")) {
        if (!anyPacket)
            return empty;
        const QJsonObject tags = format.value(QLatin1String("tags")).toObject();
        const std::optional<double> declared = number(tags.value(QLatin1String("filesize")));
        const std::optional<double> duration = number(format.value(QLatin1String("duration")));
        if (!declared || static_cast<qint64>(*declared) != facts.fileBytes || !duration)
            return unfinished();
        seconds = *duration;
    } else {
        const std::variant<double, QString> end =
            lengthAtTheEnd(root, facts.fileBytes, expectVideo, empty);
        if (const QString* failure = std::get_if<QString>(&end))
            return *failure;
        seconds = std::get<double>(end);
    }
    if (clipSeconds > 0 &&
        std::fabs(seconds - static_cast<double>(clipSeconds)) > lengthTolerance(clipSeconds)) {
        return QCoreApplication::translate("OutputCheck", "The output lasts %1 s of a %2 s clip.")
            .arg(std::llround(seconds))
            .arg(clipSeconds);
    }
    return QString();
}

OutputCheck::OutputCheck(QObject* parent) : QObject(parent) {}

OutputCheck::~OutputCheck() = default;

void OutputCheck::doneLater(const QString& failure) {
    // Reported from the event loop, as a real check is.
    QTimer::singleShot(0, this, [this, failure] { done(failure); });
}

PacketReading outputReading(const QString& outputPath, bool expectVideo, qint64 clipSeconds) {
    PacketReading reading;
    reading.path = outputPath;
    const QString extension = QLatin1Char('.') + QFileInfo(outputPath).suffix().toLower();
    const auto mainStream =
        expectVideo ? PacketReading::Shown::FirstVideo : PacketReading::Shown::FirstAudio;
    if (extension == QLatin1String(".swf") || extension == QLatin1String(".flv")) {
        reading.shown = mainStream;
        reading.maxPackets = 1;
        reading.flvFullMetadata = extension == QLatin1String(".flv");
    } else if (extension == QLatin1String(".mp3") && clipSeconds > kShortSoundSeconds) {
        reading.useToc = true;
        reading.seekSeconds =
            static_cast<double>(std::min(clipSeconds * 98 / 100, clipSeconds - 10));
    } else {
        reading.seekSeconds = 99999999.0;
    }
    return reading;
}

void OutputCheck::start(const QString& outputPath, qint64 clipSeconds, bool expectVideo) {
    m_facts = OutputFacts();
    m_clipSeconds = clipSeconds;
    m_expectVideo = expectVideo;
    m_done = false;
    const QFileInfo info(outputPath);
    m_facts.extension = QLatin1Char('.') + info.suffix().toLower();
    m_facts.fileBytes = info.isFile() ? info.size() : 0;
    QFile file(outputPath);
    if (m_facts.fileBytes > 0 && file.open(QIODevice::ReadOnly))
        m_facts.head = file.read(kHeadBytes);
    if (m_facts.fileBytes <= 0)
        return doneLater(judgeOutput(m_facts, clipSeconds, expectVideo));

    // Read on a worker thread: a check of a file on a slow disk never holds the window. A
    // reading that outlives its check (the check gave up, or was deleted) ends unheard.
    m_reading = std::make_unique<QFutureWatcher<PacketListing>>();
    connect(m_reading.get(), &QFutureWatcher<PacketListing>::finished, this, [this] {
        m_timer.stop();
        const PacketListing listing = m_reading->result();
        m_facts.probeExitCode = listing.exitCode;
        m_facts.probeJson = listing.json;
        m_facts.probeErrors = listing.errors;
        done(judgeOutput(m_facts, m_clipSeconds, m_expectVideo));
    });
    m_timer.setSingleShot(true);
    m_timer.callOnTimeout(this, [this] {
        if (m_reading)
            m_reading->disconnect(this);
        done(QCoreApplication::translate(
                 "OutputCheck", "Clipvane could not check the new file: reading it did not end "
                                "within %1 s.")
                 .arg(m_timeLimitMs / 1000.0));
    });
    m_timer.start(m_timeLimitMs);
    m_reading->setFuture(
        QtConcurrent::run(readPackets, outputReading(outputPath, expectVideo, clipSeconds)));
}

void OutputCheck::done(const QString& failure) {
    if (m_done)
        return;
    m_done = true;
    emit finished(failure);
}

} // namespace clipvane
