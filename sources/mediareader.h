#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>

namespace clipvane {

// Reads a media file with FFmpeg's own libraries, in this process: what FFmpeg's prober would
// show of it, without starting one. Used where a prober's start-up would cost more than the
// reading (checking every output of a batch).
//
// What is read: the container (name, start, length, its tags), every stream (number, kind,
// tags) and the packets of a stretch, each with its stream, time, length, position and size,
// written as JSON in the prober's own shape ({"format": …, "streams": […], "packets": […]}),
// so that one judgement reads either. The reader's complaints at error level are collected as
// the prober would print them with "-v error".
struct PacketReading {
    QString path;
    enum class Shown { All, FirstVideo, FirstAudio };
    Shown shown = Shown::All; // the streams whose packets are listed
    // Seek there first (seconds; a seek past the end lands on the last key frame), then read
    // to the end; without it, read from the start.
    std::optional<double> seekSeconds;
    int maxPackets = 0; // stop after this many packets of the shown streams; 0: no limit
    // Demuxer options: an MP3's table of contents for seeking, an FLV's whole metadata.
    bool useToc = false;
    bool flvFullMetadata = false;
};

struct PacketListing {
    QByteArray json;
    QByteArray errors; // one line per complaint, empty when there was none
    int exitCode = 0;  // as the prober's: 0, or 1 when the file could not be opened or read
    qint64 bytesRead = 0;
};

// Blocks while it reads: call it on a worker thread, never on the GUI thread. Safe to call
// from several threads at once.
PacketListing readPackets(const PacketReading& reading);

// What a file holds, as the prober lists it for the probe: each stream's kind, codec, picture
// size and shape, sound channels and layout, colours, tags (language, title, handler name)
// and dispositions (default, forced, cover art); the chapters; the container's length.
// errors holds the complaints at warning level (a length guessed from the bit rate, a lost
// index), exitCode is 1 when the file could not be opened. Blocks: a worker thread's call.
PacketListing readListing(const QString& path);

// How long a file's packets span, from the earliest packet's time to the end of the latest,
// every packet read: for a file whose container records no length or only guesses one from the
// bit rate. Nothing when no packet has a time, the file cannot be read, or stop was set
// (checked between packets). Blocks: a worker thread's call.
std::optional<double> readPacketSpan(const QString& path, const std::atomic<bool>* stop);

} // namespace clipvane
