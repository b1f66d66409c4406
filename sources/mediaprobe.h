#pragma once

#include "process/toolpaths.h"
#include "sources/sourcelist.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

// The player tool's identify command for one file. folderWithSlash is the program folder
// ending in "/"; the tool path is quoted only when the folder holds blanks or quotes.
QString identifyCommandLine(const QString& folderWithSlash, const QString& filePath);

// The prober's command for a file's container duration and its streams' kinds and picture
// shapes (KEY=VALUE lines, each stream between [STREAM] and [/STREAM]).
QString durationCommandLine(const QString& ffprobe, const QString& filePath);

// What the prober's answer to durationCommandLine says.
struct ContainerFacts {
    std::optional<double> seconds; // the container's duration, when it states one
    double pictureAspect = 0;      // the first picture's display aspect, 0 when unknown
    bool hasSound = false;         // some audio stream
};
ContainerFacts parseContainerFacts(const QString& output);

// A picture's display aspect (width / height) from its stored size and its sample or display
// aspect ratio ("16:9"; "0:1" or "N/A" when unknown): 0 when it cannot be told.
double displayAspect(qint64 width, qint64 height, const QString& sampleAspect,
                     const QString& displayAspectRatio);
// The prober's command listing every packet's times ("pts,dts,duration" lines).
QString packetTimesCommandLine(const QString& ffprobe, const QString& filePath);

// What the identify output says about a file.
struct IdentifyResult {
    std::optional<qint64> length;  // hundredths as shown (shownLength), from the last ID_LENGTH
    std::optional<QString> format; // from the last ID_VIDEO_FORMAT line
    qint64 width = 0;
    qint64 height = 0;
    // False when a width or height line could not be read as a number: the probe stops
    // there and leaves Start and Size unwritten.
    bool complete = true;
    std::optional<double> seconds; // the last ID_LENGTH value, as read
    double frameRate = 0;          // the last ID_VIDEO_FPS value
    bool hasVideo = false;         // some ID_VIDEO_ line: the player found a video stream
    bool hasAudio = false;         // an ID_AUDIO_ID line: the player found a sound stream
    // The display aspect (width / height): the last positive ID_VIDEO_ASPECT, else the one
    // the probe decides on; 0 when unknown.
    double pictureAspect = 0;
    // Known to hold no sound (the prober listed its streams and found none).
    bool soundless = false;
};

// Reads identify output: one KEY=VALUE per line, lines ending in CR LF, LF or CR. Keys are
// exact; a value is cut at its first "="; the last occurrence of a key wins.
IdentifyResult parseIdentifyOutput(const QString& output);

// Writes a parse result into a row the way the probe does.
void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result);

// How long a probe may take before it is given up (a pipe or a stalled network file would
// otherwise keep the add waiting for ever); the row then shows a failed probe.
inline constexpr int kProbeTimeoutMs = 60000;

// How many files are examined at once when several are added: one per processor core.
int probeParallelism();

// Appends a row for each file, in the order given, and probes the files, up to parallel of
// them at a time, waiting (in a nested event loop, so the window stays live) until all are
// done; each row fills in as its probe ends. A probe runs the player tool for size, format and
// a length, then FFmpeg's prober for the container's duration, which MPlayer misreads for MPEG
// program and transport streams and for Matroska files written live. The prober's duration,
// when it has one, decides End and Video Time; the player's is the fallback. Each probe has
// timeoutMs from its own start. The whole addition counts as one pending probe of the list.
// Writes go only to the rows created here, by id: a row removed (or the list cleared) during
// the wait takes no writes, and its probe, if running, is ended. Returns the new rows' ids.
//
// When a file cannot be read as a video (missing, a folder, empty, unreadable, sound only, of
// no known length, a tool missing, no answer in time) End stays empty and the row's note says
// why, in words for the user.
QList<SourceList::Id> appendAndProbe(SourceList& list, const QStringList& paths, int parallel,
                                     int timeoutMs = kProbeTimeoutMs);

// Appends a row for a file that cannot be converted, with the note saying why; it is not
// probed.
SourceList::Id appendRefused(SourceList& list, const QString& path, const QString& note);

// Whether a path stands for a name that is not valid UTF-8: the program got it with
// replacement characters, and no file has that name.
bool nameNotUtf8(const QString& path);
inline constexpr const char* kNotUtf8Note =
    "This file's name is not valid UTF-8; rename it to convert it.";

// The private folders a probe links awkward names from are named for the program's process:
// those of programs no longer running (killed during a probe) are removed at start-up.
// Returns how many were removed.
inline constexpr const char* kProbeFolderPrefix = "clipvane-probe-";
int removeStaleProbeFolders();

// appendAndProbe for one file.
SourceList::Id appendAndProbe(SourceList& list, const QString& path,
                              int timeoutMs = kProbeTimeoutMs);

} // namespace clipvane
