#include "convert/outputsize.h"

#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/picturefilters.h"
#include "options/profiles.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <cmath>

namespace clipvane {

double clipSecondsOf(const EncoderInputs& in) {
    if (!in.clipStart || !in.clipEnd || *in.clipEnd <= *in.clipStart)
        return 0;
    // As the encoder command takes it: a clip to the shown end runs to the exact end.
    const bool toTheEnd = in.exactLength > 0 && shownLength(in.exactLength) == *in.clipEnd;
    return toTheEnd ? in.exactLength - static_cast<double>(*in.clipStart) / 100.0
                    : static_cast<double>(*in.clipEnd - *in.clipStart) / 100.0;
}

double soundKbitsOf(const EncoderInputs& in) {
    const EncoderOptions& o = in.options;
    if (o.audioOff || !in.profile)
        return 0;
    const StreamFacts& facts = in.streams;
    if (!facts.listed)
        return o.audioKbits; // the encoder's pick of one track
    int tracks = 0;
    for (const int track : keptTracks(in.tracks.audio, facts.audio.size())) {
        const AudioTrack& t = facts.audio.at(track);
        if (!t.codec.isEmpty() && t.channels > 0)
            ++tracks;
    }
    // Sound-only formats hold one track.
    if (in.profile->isSoundOnly())
        tracks = std::min(tracks, 1);
    return o.audioKbits * tracks;
}

TargetRate targetRate(double targetBytes, double seconds, double soundKbits) {
    TargetRate rate;
    if (seconds <= 0)
        return rate;
    rate.videoKbits = (targetBytes * kTargetFill * 8.0 / seconds - soundKbits * 1000.0) / 1000.0;
    rate.smallestBytes = (kLeastVideoKbits + soundKbits) * 1000.0 * seconds / 8.0 / kTargetFill;
    return rate;
}

std::optional<QString> resolveTargetSize(EncoderInputs& in) {
    EncoderOptions& o = in.options;
    if (!o.targetBytes || o.videoKbits || !in.profile || in.profile->isSoundOnly())
        return std::nullopt;
    const double seconds = clipSecondsOf(in);
    if (seconds <= 0)
        return std::nullopt; // the command says why a clip without a length cannot be made
    const TargetRate rate = targetRate(*o.targetBytes, seconds, soundKbitsOf(in));
    if (rate.videoKbits < kLeastVideoKbits) {
        // Rounded up to the next tenth of a MB, so that the size named is enough.
        const double smallest = std::ceil(rate.smallestBytes / kBytesPerMegabyte * 10.0) / 10.0;
        return QCoreApplication::translate(
                   "OutputSize", "Target Size %1 MB is too small for %2 of video: the picture "
                                 "would get less than %3 kbit/s. The smallest sensible size is "
                                 "%4 MB.")
            .arg(QString::number(*o.targetBytes / kBytesPerMegabyte, 'g', 6),
                 timeText(static_cast<qint64>(std::ceil(seconds))),
                 QString::number(kLeastVideoKbits), QString::number(smallest, 'f', 1));
    }
    o.videoKbits = std::floor(rate.videoKbits);
    o.picture.twoPass = true;
    return std::nullopt;
}

std::optional<SizeEstimate> rateEstimate(const EncoderInputs& in) {
    if (!in.profile || in.profile->isHeading)
        return std::nullopt;
    const double seconds = clipSecondsOf(in);
    if (seconds <= 0)
        return std::nullopt;
    const EncoderOptions& o = in.options;
    const bool picture = !in.profile->isSoundOnly();
    if (picture && o.targetBytes && !o.videoKbits)
        return SizeEstimate{static_cast<qint64>(std::llround(*o.targetBytes)),
                            SizeEstimate::Basis::Target};
    if (picture && !o.videoKbits)
        return std::nullopt; // a constant quality: only samples tell
    const double kbits = (picture ? *o.videoKbits : 0) + soundKbitsOf(in);
    // The container: a few bytes an index entry or block header, about 1 %.
    const double bytes = kbits * 1000.0 / 8.0 * seconds * 1.01;
    return SizeEstimate{static_cast<qint64>(std::llround(bytes)), SizeEstimate::Basis::Rates};
}

std::optional<qint64> cappedBytes(const EncoderInputs& in) {
    const EncoderOptions& o = in.options;
    // Hardware encoders and the Flash profiles have no cap; a rate is not a quality.
    if (!in.profile || !in.profile->isTodaysFormat() || in.profile->isSoundOnly() || o.videoKbits ||
        o.targetBytes || o.hardware != HardwareKind::Software)
        return std::nullopt;
    const double seconds = clipSecondsOf(in);
    if (seconds <= 0)
        return std::nullopt;
    const int cap =
        rateCapKbits(in.profile->videoCodec,
                     outputShorterSide(o.width, o.height, o.picture, in.streams.picture));
    return static_cast<qint64>(
        std::llround((cap + soundKbitsOf(in)) * 1000.0 / 8.0 * seconds * 1.01));
}

namespace {
// A stretch at the start of each sample whose packets are not counted.
constexpr qint64 kLeadIn = 30;
// Clips up to this long are encoded whole: the sample is the output.
constexpr qint64 kWholeClip = 1200;
// Every so many seconds a long encode puts a key picture.
constexpr double kKeyInterval = 10;
// The container's bytes for each packet (an MP4 index entry, a Matroska block header).
constexpr double kBytesPerPacket = 10;
} // namespace

QList<SampleWindow> sampleWindows(qint64 clipStart, qint64 clipEnd) {
    const qint64 length = clipEnd - clipStart;
    if (length <= 0)
        return {};
    if (length <= kWholeClip)
        return {SampleWindow{clipStart, 0, length}};
    // Each window a fiftieth of the clip, 1 to 4 s: three of them cost a few per cent of the
    // encode.
    const qint64 counted = std::clamp<qint64>(length / 50, 100, 400);
    QList<SampleWindow> windows;
    for (const double at : {0.15, 0.5, 0.85}) {
        qint64 start = clipStart + static_cast<qint64>(static_cast<double>(length) * at) -
                       (kLeadIn + counted) / 2;
        start = std::clamp(start, clipStart, clipEnd - kLeadIn - counted);
        windows.append(SampleWindow{start, kLeadIn, counted});
    }
    return windows;
}

std::optional<SampleBytes> parseFrameListing(const QByteArray& listing, double leadIn,
                                             double counted) {
    QHash<int, double> timeBase;
    QHash<int, bool> isVideo;
    SampleBytes sample;
    sample.seconds = counted;
    bool keySeen = false;
    bool any = false;
    for (const QByteArray& raw : listing.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("#tb ")) {
            // "#tb 0: 1/12800"
            const int colon = line.indexOf(':');
            const QList<QByteArray> fraction = line.mid(colon + 1).trimmed().split('/');
            if (colon > 4 && fraction.size() == 2 && fraction.at(1).toDouble() > 0)
                timeBase.insert(line.mid(4, colon - 4).toInt(),
                                fraction.at(0).toDouble() / fraction.at(1).toDouble());
            continue;
        }
        if (line.startsWith("#media_type ")) {
            const int colon = line.indexOf(':');
            if (colon > 12)
                isVideo.insert(line.mid(12, colon - 12).toInt(),
                               line.mid(colon + 1).trimmed() == "video");
            continue;
        }
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        // "stream, dts, pts, duration, size, hash"
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 6)
            continue;
        bool ok = false;
        const int stream = fields.at(0).trimmed().toInt(&ok);
        const qint64 pts = ok ? fields.at(2).trimmed().toLongLong(&ok) : 0;
        const qint64 size = ok ? fields.at(4).trimmed().toLongLong(&ok) : 0;
        if (!ok || !timeBase.contains(stream) || size < 0)
            continue;
        any = true;
        if (isVideo.value(stream) && !keySeen) {
            keySeen = true;
            // Counted with the rest when there is no lead-in: the sample is the whole clip.
            if (leadIn > 0)
                sample.keyBytes = size;
        }
        const double at = static_cast<double>(pts) * timeBase.value(stream);
        if (at + 1e-6 >= leadIn && at < leadIn + counted - 1e-6) {
            sample.bytes += size;
            ++sample.packets;
        }
    }
    if (!any)
        return std::nullopt;
    return sample;
}

qint64 sampledEstimate(const QList<SampleBytes>& samples, double clipSeconds) {
    double bytes = 0;
    double packets = 0;
    double seconds = 0;
    double keys = 0;
    for (const SampleBytes& s : samples) {
        bytes += static_cast<double>(s.bytes);
        packets += static_cast<double>(s.packets);
        seconds += s.seconds;
        keys += static_cast<double>(s.keyBytes);
    }
    if (seconds <= 0 || clipSeconds <= 0)
        return 0;
    const double scale = clipSeconds / seconds;
    const double keyPictures =
        keys > 0 ? keys / static_cast<double>(samples.size()) * clipSeconds / kKeyInterval : 0;
    return static_cast<qint64>(
        std::llround(bytes * scale + keyPictures + packets * scale * kBytesPerPacket));
}

} // namespace clipvane
