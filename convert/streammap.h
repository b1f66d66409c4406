#pragma once

#include "sources/streamfacts.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

struct EncoderInputs;
struct ProfileEntry;

// Which of a file's streams go into an output of today's formats, and how: each kept stream
// mapped by hand (never FFmpeg's pick of one stream of each kind).
//
// - Matroska, MP4 and WebM keep every sound track (or those chosen for the row), each encoded
//   with the profile's codec, the source's default track first and marked default, languages
//   and titles kept. MP3 and M4A keep one: the default track, or the first chosen.
// - "Same as source" channels keep each track's own (up to 7.1); MP3 mixes more down to two.
// - Text subtitles are kept as they are in Matroska, as mov_text in MP4 and as WebVTT in WebM;
//   picture subtitles fit Matroska only. Subtitle files beside the source are further inputs.
// - "Burn In Subtitles" draws a track into the picture (text with the subtitles filter,
//   pictures with overlay); that track is then not kept as a track as well.
// - An HDR picture (BT.2020 PQ or HLG) is tone-mapped to BT.709 for the 8-bit encoders.
// - Chapters and the file's tags follow FFmpeg's own copying (the clip's chapters, shifted).
// Whatever the output cannot hold, or changes, is named in notes for the row.
struct StreamPlan {
    // Inputs after the source, each with its own options ("-ss", "12", "-i", "/a/b.en.srt").
    QStringList inputs;
    // The picture's filters before its size chain (tone mapping, text subtitles drawn in).
    QStringList pictureFilters;
    // A picture subtitle drawn over the picture ("0:3"), after pictureFilters; empty: none.
    QString overlayStream;
    // The picture's stream ("0:0"); empty when the file was not listed.
    QString videoStream;
    QStringList audioArguments;    // -map and the encoder's options, or "-an"
    QStringList subtitleArguments; // -map and the codecs, or "-sn"
    QStringList colourArguments;   // the colours tagged after tone mapping
    QStringList notes;

    // The picture's part of the command for a size chain: its -map and -vf, or, with a
    // subtitle drawn over it, -filter_complex and the -map of its result.
    QStringList pictureArguments(const QString& sizeChain) const;
};

// clipStart is the clip's start in seconds as the command gives it ("12", "1.5").
StreamPlan planStreams(const ProfileEntry& profile, const QString& muxer, const EncoderInputs& in,
                       const QString& clipStart);

// The encoder of an "Audio Codec" of today's formats ("opus" gives "libopus").
QString todaysAudioEncoder(const QString& codec);

// The codec a subtitle of that codec is written with in that muxer ("copy" to keep it as it
// is), or nothing when the container cannot hold it.
std::optional<QString> subtitleCodecFor(const QString& muxer, const QString& codec);

// A file path as a value inside a filter graph (escaped for the option, then for the graph).
QString filterPathValue(const QString& path);

// The filters that tone-map an HDR picture to BT.709 for an 8-bit encoder.
QString toneMapFilters();

} // namespace clipvane
