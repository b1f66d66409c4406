#pragma once

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

// The -vf filter chain for a "Video Size" value, or nothing when the value is not a size.
// "Same as source" keeps the size (cut to even numbers, which the encoders need) and the
// sample aspect. keepAspect fits the picture inside WxH with its display aspect (the sample
// aspect honoured, square pixels, even sides); pad then fills the rest of WxH with black bars.
// Without keepAspect the picture is stretched to exactly WxH, with square pixels.
std::optional<QString> pictureSizeFilter(const QString& videoSize, bool keepAspect, bool pad);

// The arguments after the encoder tool's name, up to and including the container (-f): clip,
// input, picture, sound, container. Text in the Windows command-line form, starting with a
// blank; or why the options cannot make a command.
struct FormatArgumentsError {
    QString reason;
};
std::variant<QString, FormatArgumentsError> todaysFormatArguments(const ProfileEntry& profile,
                                                                  const EncoderInputs& in,
                                                                  const ClipSeconds& clip);

// The FFmpeg muxer of an output extension (".mp4" gives "mp4"), or nothing.
std::optional<QString> muxerFor(const QString& extension);

} // namespace clipvane
