#pragma once

#include "sources/sourcelist.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace clipvane {

struct EncoderInputs;

// Sizes in MB as the Target Size row and the Estimate column count them: 1,000,000 bytes.
inline constexpr double kBytesPerMegabyte = 1e6;
// Less video than this is hardly a picture: a Target Size that leaves less is refused.
inline constexpr double kLeastVideoKbits = 100;
// The share of a Target Size the streams may fill; the container's own bytes (an index entry
// or block header for every packet) and the encoder's small misses take the rest.
inline constexpr double kTargetFill = 0.98;

// The clip's length in seconds as the encoder will take it (0: unknown).
double clipSecondsOf(const EncoderInputs& in);

// The sound's kbit/s in the output: every track kept, each at the Audio Bitrate (0 when the
// sound is off or the profile writes none).
double soundKbitsOf(const EncoderInputs& in);

// The video rate that fills a target of that many bytes over the clip beside the sound, and
// the smallest target that still leaves kLeastVideoKbits for the picture.
struct TargetRate {
    double videoKbits = 0;
    double smallestBytes = 0;
};
TargetRate targetRate(double targetBytes, double seconds, double soundKbits);

// A "Target Size" made a video rate with two passes (in.options.videoKbits and twoPass set);
// why not, in words for the row, when the size leaves too little for a picture. Inputs with
// no target, or no known length yet, are left as they are.
std::optional<QString> resolveTargetSize(EncoderInputs& in);

// The estimate that needs no encoding: from fixed rates or the Target Size; nothing when the
// picture has a constant quality (samples must tell) or the clip's length is unknown.
std::optional<SizeEstimate> rateEstimate(const EncoderInputs& in);

// The most a constant quality may write over the clip: the picture at its rate cap (see
// rateCapKbits) with the sound beside it. Short samples can exceed the cap (the encoder's
// buffer starts full), a whole clip cannot. Nothing when no cap applies.
std::optional<qint64> cappedBytes(const EncoderInputs& in);

// Where sample encodes are taken: windows of the clip (hundredths of a second from the file's
// start), each led in by a stretch whose packets are not counted (the encoder's first picture
// of a stream is a large key picture that a long encode has only now and then).
struct SampleWindow {
    qint64 start = 0;   // where the encode starts
    qint64 leadIn = 0;  // not counted
    qint64 counted = 0; // counted after the lead-in
};
QList<SampleWindow> sampleWindows(qint64 clipStart, qint64 clipEnd);

// What one sample encode gave, read from FFmpeg's framecrc listing of its packets.
struct SampleBytes {
    qint64 bytes = 0;    // the packets after the lead-in, every stream
    qint64 packets = 0;  // how many they were
    qint64 keyBytes = 0; // the first picture's packet (a key picture)
    double seconds = 0;  // the counted stretch
};
// Packets whose time is at or after leadIn seconds and before leadIn + counted are counted.
std::optional<SampleBytes> parseFrameListing(const QByteArray& listing, double leadIn,
                                             double counted);

// The whole clip's size from its samples: their bytes a second over the clip, one key picture
// every ten seconds, and the container's few bytes for every packet.
qint64 sampledEstimate(const QList<SampleBytes>& samples, double clipSeconds);

} // namespace clipvane
