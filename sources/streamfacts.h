#pragma once

#include "sources/picturefacts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

// What a file holds besides its picture: its sound and subtitle tracks, chapters and the
// picture's colours, as the prober lists them. A row keeps them (SourceList::streamFacts) and
// the encoder command maps from them.

struct AudioTrack {
    int stream = -1;  // the stream's number in the file (FFmpeg's "0:N")
    QString codec;    // the prober's codec name ("aac", "ac3")
    int channels = 0; // 0: unknown
    QString layout;   // "5.1(side)", "stereo"; empty when unknown
    QString language; // as tagged ("eng"), empty when untagged or undetermined
    QString title;    // empty when none
    bool isDefault = false;
};

struct SubtitleTrack {
    int stream = -1;     // the stream's number in the file; -1 for a file beside it
    QString codec;       // "subrip", "ass", "mov_text", "dvd_subtitle", "hdmv_pgs_subtitle"
    bool bitmap = false; // pictures (DVD, Blu-ray, DVB) rather than text
    QString language;
    QString title;
    bool isDefault = false;
    bool forced = false;
    // A subtitle file beside the source (NAME.srt or NAME.LANG.srt), read as a second input;
    // empty for a track inside the file.
    QString file;
    QString characterSet; // the file's characters when they are not UTF-8 ("CP1252")
};

struct Chapter {
    double start = 0; // seconds
    double end = 0;
    QString title;
};

// The picture's colours as tagged; empty when untagged.
struct PictureColour {
    QString primaries; // "bt2020", "bt709"
    QString transfer;  // "smpte2084" (PQ), "arib-std-b67" (HLG), "bt709"
    QString space;     // "bt2020nc"
    // High dynamic range: BT.2020 primaries with the PQ or HLG transfer.
    bool isHdr() const;
    // "PQ", "HLG" or empty.
    QString transferName() const;
};

struct StreamFacts {
    bool listed = false;   // the prober answered with a listing
    bool hasVideo = false; // a picture that moves (cover art does not count)
    int videoStream = -1;  // that picture's stream number in the file
    QString videoCodec;    // the prober's name of its codec ("h264")
    PictureColour colour;
    PictureFacts picture; // its size and shape, bars and interlacing
    QList<AudioTrack> audio;
    QList<SubtitleTrack> subtitles; // inside the file first, then files beside it
    QList<Chapter> chapters;
    // Subtitle files beside the source that could not be read (their paths).
    QStringList unreadableSubtitleFiles;

    // Sound and no picture.
    bool soundOnly() const { return listed && !hasVideo && !audio.isEmpty(); }
    // The sound track a player starts with: the one marked default, else the first; -1 when
    // there is none.
    int defaultAudio() const;
};

// The prober's JSON listing (-show_entries ... -of json): streams with their tags and
// dispositions, chapters and the container. Nothing is listed when the text is not such a
// listing.
struct ProberListing {
    StreamFacts facts;
    std::optional<double> seconds; // the container's duration
    double pictureAspect = 0;      // the first picture's display aspect, 0 when unknown
};
ProberListing parseProberListing(const QByteArray& json);

// How a codec of the prober shows to people ("aac" gives "AAC", "ac3" "AC-3", "subrip" "SRT",
// "hdmv_pgs_subtitle" "PGS", "mpeg2video" "MPEG-2"); an unknown one upper-cased.
QString codecShownName(const QString& codec);
// Channels as people count them: "5.1", "2.0", "1.0", "7.1", "6 ch" when the layout is odd.
QString channelsShown(int channels, const QString& layout);
// Whether a subtitle codec draws pictures rather than text.
bool isBitmapSubtitle(const QString& codec);

// One track in a few words: "eng AAC 5.1", "deu AAC 2.0 "Commentary"", "eng SRT (forced)".
QString audioTrackText(const AudioTrack& track);
QString subtitleTrackText(const SubtitleTrack& track);
// The file's tracks for the row's tooltip and the item page:
// "Audio: 2 tracks — eng AAC 5.1, deu AAC 2.0 "Commentary"; Subtitles: eng SRT"; empty when
// nothing was listed.
QString streamSummary(const StreamFacts& facts);

// Subtitle files beside a source: NAME.srt and NAME.LANG.srt (LANG two or three letters), in
// name order. Readable ones become tracks (their language from the name); the others are
// named in unreadable.
QList<SubtitleTrack> subtitleFilesBeside(const QString& sourcePath, QStringList* unreadable);

// The Format column's text for what the player said: its numeric codes for MPEG video become
// the format's name ("0x10000002" gives "MPEG-2"), using the prober's codec when the player's
// code is one it does not name; names the player gives stay as they are.
QString readableFormat(const QString& playerFormat, const QString& proberCodec = {});

// Which tracks of a row go into the output. Nothing chosen: the profile's own choice (every
// track for Matroska, MP4 and WebM; the default sound track for sound-only files). The
// numbers count tracks of their kind in StreamFacts order (0 is the first audio track).
struct TrackChoice {
    std::optional<QList<int>> audio;
    std::optional<QList<int>> subtitles;
    // The subtitle drawn into the picture when Burn In Subtitles is "Chosen Track"; -1: the
    // source's default subtitle track, else its first.
    int burnIn = -1;

    bool isDefault() const { return !audio && !subtitles && burnIn < 0; }
    bool operator==(const TrackChoice&) const = default;
};

// The numbers of the tracks of a kind that a choice keeps: those chosen that exist, in order,
// or every one of count when nothing was chosen.
QList<int> keptTracks(const std::optional<QList<int>>& chosen, qsizetype count);
// The choice that keeps the ticked tracks: ticking every one is no choice (the profile
// decides, as for a file never chosen for).
std::optional<QList<int>> choiceOf(const QList<int>& ticked, qsizetype count);
// What the item page shows of the tracks a choice keeps: as streamSummary names them when all
// are kept ("Audio: 2 tracks — eng AAC 5.1, deu AAC 2.0; Subtitles: eng SRT"), else
// "Audio: 1 of 2 — deu AAC 2.0", "Subtitles: none of 2"; empty when the file has none.
QString keptTracksSummary(const StreamFacts& facts, const TrackChoice& choice);

} // namespace clipvane
