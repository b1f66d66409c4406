#pragma once

#include <QString>
#include <optional>

namespace clipvane {

// What the probe asks its tools, and what it reads from their answers.

// The player tool's identify command for one file. folderWithSlash is the program folder
// ending in "/"; the tool path is quoted only when the folder holds blanks or quotes.
QString identifyCommandLine(const QString& folderWithSlash, const QString& filePath);

// The prober's command listing a file's container duration, its streams (kinds, codecs,
// picture shapes and colours, sound channels, languages, titles, default and forced marks)
// and its chapters, as JSON on standard output; its complaints go to standard error.
// (parseProberListing in streamfacts.h reads the answer.) The probe reads the same listing in
// this process (readListing in mediareader.h); the command gives it from a shell, for
// comparisons.
QString listingCommandLine(const QString& ffprobe, const QString& filePath);

// A picture's display aspect (width / height) from its stored size and its sample or display
// aspect ratio ("16:9"; "0:1" or "N/A" when unknown): 0 when it cannot be told.
double displayAspect(qint64 width, qint64 height, const QString& sampleAspect,
                     const QString& displayAspectRatio);

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
    // Sound and no picture: Size reads "sound only" and Format names the sound's codec.
    bool soundOnly = false;
};

// Reads identify output: one KEY=VALUE per line, lines ending in CR LF, LF or CR. Keys are
// exact; a value is cut at its first "="; the last occurrence of a key wins.
IdentifyResult parseIdentifyOutput(const QString& output);

} // namespace clipvane
