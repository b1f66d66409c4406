#pragma once

#include "process/commandline.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace clipvane {

struct EncoderInputs;
struct ClipSeconds;
struct ProfileEntry;

// The FFmpeg arguments of the profiles of today's formats (MP4, WebM, Matroska, MP3, M4A):
// the encoders, their quality and speed settings, and a picture that keeps its shape.

// The -vf filter chain for a picture size, or nothing when it is not one the encoders take.
// 0x0 ("Same as source") keeps the size (cut to even numbers, which the encoders need) and the
// sample aspect. keepAspect fits the picture inside WxH with its display aspect (the sample
// aspect honoured, square pixels, even sides); pad then fills the rest of WxH with black bars.
// Without keepAspect the picture is stretched to exactly WxH, with square pixels. Odd sides,
// and sides under 2, are refused.
std::optional<QString> pictureSizeFilter(int width, int height, bool keepAspect, bool pad);

// Why the options cannot make a command.
struct FormatArgumentsError {
    QString reason;
};
// Adds the arguments of a profile of today's formats after the encoder tool's name, up to and
// including the container (-f): clip, inputs, picture, sound, subtitles, container (the
// streams as planStreams maps them). What the row should say of the tracks goes to notes.
// For a Two-Pass bit rate with a pass log folder, firstPass gets the measuring pass (the
// encoder tool's name, then up to "-f null"; the output is for the caller to add) and
// command becomes the second pass.
std::optional<FormatArgumentsError>
addTodaysFormatArguments(ToolCommand& command, const ProfileEntry& profile, const EncoderInputs& in,
                         const ClipSeconds& clip, QStringList* notes = nullptr,
                         ToolCommand* firstPass = nullptr);

// The FFmpeg muxer of an output extension (".mp4" gives "mp4"), or nothing.
std::optional<QString> muxerFor(const QString& extension);

} // namespace clipvane
