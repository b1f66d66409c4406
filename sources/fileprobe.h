#pragma once

#include "sources/mediareader.h"
#include "sources/probeparse.h"
#include "sources/streamfacts.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace clipvane {

class ProbeTool;
class SafeLink;
struct ToolExit;

// How long a probe may take before it is given up (a pipe or a stalled network file would
// otherwise keep it going for ever); the row then shows a failed probe.
inline constexpr int kProbeTimeoutMs = 60000;
// How long the look at a picture (bars, interlacing) may take; the probe ends without its
// findings after that.
inline constexpr int kPictureLookLimitMs = 15000;

// What a probe learned of one file.
struct ProbeOutcome {
    IdentifyResult identify;
    double seconds = 0;  // the exact length that decided End
    QString note;        // why the file cannot be converted, or empty
    StreamFacts streams; // its tracks, chapters and colours, as the prober listed them
};

// One file's probe, run without waiting: the file check, then, side by side, the player's
// identify and the listing of the file's tracks and the container's duration (which MPlayer
// misreads for MPEG program and transport streams and for Matroska files written live), read
// with FFmpeg's libraries on a worker thread (readListing); where the container records no
// duration or only guesses one from the bit rate (a raw MPEG video stream, Matroska written
// to a pipe), the same libraries then read every packet for the span of their times, from
// the earliest to the end of the last (readPacketSpan; rare). The listed duration, when there is
// one, decides the length; the player's is the fallback. A file with a picture is looked at for
// black bars and interlacing (picturelook.h) as soon as its length is known: beside the
// identify when the listing gives the length, after it otherwise; the probe ends when both
// have answered. A name that would confuse the player reaches it as a link in a private
// folder.
//
// When the time limit (from start()) passes, or stop() is called, the running tools are
// ended, a reading of the packets stops, and the probe decides with what it has. done is called
// once, from the event loop, never from start(); the tools and the link folder are gone by then.
// When a file cannot be read (missing, a folder, empty, unreadable, damaged or cut short, of no
// known length, a tool missing, no answer in time) the outcome's note says why, in words for the
// user. A file of sound only is read as such (its length, its sound's format, no picture); when its
// tracks cannot be listed, it is refused as before.
class FileProbe : public QObject {
public:
    using Done = std::function<void(const ProbeOutcome&)>;

    FileProbe(const QString& path, int timeoutMs, Done done, QObject* parent = nullptr);
    ~FileProbe() override;

    void start();
    void stop();
    bool isDone() const { return m_finished; }

private:
    void listTracks();
    void afterIdentify(const ToolExit& exit, const QString& output);
    void afterListing(const ToolExit& exit, const QByteArray& output, const QByteArray& errors);
    void afterPackets(std::optional<double> span);
    void startLook(double seconds);
    void afterLook(const ToolExit& exit, const QByteArray& output);
    void proberDone();
    void decide();
    void finish();

    const QString m_path;
    const int m_timeoutMs;
    Done m_done;
    ProbeOutcome m_out;
    QString m_toolPath;
    std::unique_ptr<SafeLink> m_link;
    QTimer m_deadline;
    bool m_expired = false;
    bool m_finished = false;
    std::unique_ptr<ProbeTool> m_player;
    std::unique_ptr<QFutureWatcher<PacketListing>> m_listing;         // the tracks, read in-process
    std::unique_ptr<QFutureWatcher<std::optional<double>>> m_packets; // the packets' span
    // Tells a reading on a worker thread to stop: shared, as the reading may outlive the probe.
    std::shared_ptr<std::atomic<bool>> m_stopReading = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<ProbeTool> m_look; // the look at the picture, once the length is known
    bool m_looking = false;            // and it has not answered yet
    bool m_decided = false;            // everything but the look's findings is in
    bool m_identified = false;         // the player has answered and found a video
    bool m_measured = false;           // the listing (and the packets' span, when needed) is in

    // What the tools said.
    QString m_identifyLines;     // the identify output's ID_ lines, the latest of very many
    bool m_unreadable = false;   // the prober ran and could not open the file as media
    bool m_indexMissing = false; // because the file's index (an MP4's moov) is not there
    bool m_guessed = false;      // the prober's duration was a guess from the bit rate
    bool m_guessOnly = false;    // and the packets could not replace it
    double m_proberAspect = 0;   // the picture's shape as the prober read it
    bool m_soundless = false;    // the prober found no sound stream
    std::optional<double> m_seconds;
};

} // namespace clipvane
