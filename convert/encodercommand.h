#pragma once

#include "convert/hardwareencoders.h"
#include "convert/picturefilters.h"
#include "process/commandline.h"
#include "sources/streamfacts.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace clipvane {

class OptionSheet;
struct ProfileEntry;

// How hard the encoder works for a smaller file ("Encoding Speed").
enum class EncodingSpeed { Fast, Balanced, SmallFile };

// Which subtitles are drawn into the picture ("Burn In Subtitles").
enum class BurnIn { None, ChosenTrack, ForcedOnly };

// The option sheet's encoding choices as the encoder takes them: numbers and choices, read
// from the sheet's texts once (readEncoderOptions).
struct EncoderOptions {
    // "Video Size": a width and height, or the source's own size (0x0).
    int width = 0;
    int height = 0;
    bool sameSizeAsSource() const { return width == 0 && height == 0; }
    // "Video Bitrate" in kbit/s; nothing for "Auto" (a constant quality), and for "Target Size"
    // until the clip's length turns the size into a rate (see resolveTargetSize).
    std::optional<double> videoKbits;
    // "Target Size": the whole output's size in bytes, reached in two passes.
    std::optional<double> targetBytes;
    // "Video Framerate": pictures per second; nothing for "Auto" (Flash writes 25) or "Same as
    // source" (the source's own rate).
    std::optional<double> frameRate;
    bool keepAspect = true; // "Keep Aspect Ratio"
    EncodingSpeed speed = EncodingSpeed::Balanced;
    HardwareKind hardware = HardwareKind::Software; // "Encoder"
    BurnIn burnIn = BurnIn::None;
    QString audioCodec;    // "Audio Codec" as chosen (translateAudioCodec gives the encoder's name)
    bool audioOff = false; // "Disable Audio"
    double audioKbits = 0;
    int sampleRate = 0;
    // "Audio Channel": a count, or nothing for "Same as source" (each track keeps its own).
    std::optional<double> audioChannels;
    // The picture's own rows (quality, crop, deinterlacing, denoising, rotation, pixel shape).
    PictureOptions picture;
};

// Everything one encoder command is made from.
struct EncoderInputs {
    QString programFolder;
    QString inputPath;
    // The clip, in hundredths of a second (nothing: the probe found no time).
    std::optional<qint64> clipStart;
    std::optional<qint64> clipEnd;
    // The file's exact length in seconds (0: unknown). A clip that ends where the row shows
    // the file's end runs to the exact end, so the rounding of the length shown loses nothing.
    double exactLength = 0;
    const ProfileEntry* profile = nullptr; // the catalogue entry; nullptr or a heading: none
    EncoderOptions options;
    // The file's tracks as the probe listed them, and the row's choice of them.
    StreamFacts streams;
    TrackChoice tracks;
    // Settings.
    QString outputFolder;   // where the output goes (the run resolves the default)
    bool overwrite = false; // an existing output is replaced, or the new one takes a "_New" name
    int threads = 0;        // 0: the encoder decides
    // Outputs earlier items of the same batch wrote: never overwritten, whatever overwrite
    // says, so that two inputs with the same base name both survive.
    QStringList writtenByBatch;
    // A private folder for a Two-Pass encoding's log (empty: one pass only).
    QString passLogFolder;
};

// Where a clip starts and how long it lasts, in seconds as the encoder takes them ("12",
// "1.5", "10.04").
struct ClipSeconds {
    QString start;
    QString length;
};

struct EncoderCommand {
    // The encoder's arguments (program first), and their text for the log and the tests.
    ToolCommand command;
    QString outputPath;
    // Where the encoder writes: a hidden name beside the output (see partialPath), which the
    // run creates before the encoder starts and which takes the output's name once the new
    // file is good.
    QString encodePath;
    qint64 clipSeconds = 0; // the length passed with -t, in whole seconds rounded up
    // The name the output would have had, when it took a "_New" name because an earlier item
    // of the batch wrote that file; empty otherwise.
    QString batchConflict;
    double clipLength = 0; // the length passed with -t, exactly
    // What the row should say of the tracks: those the format cannot hold, sound mixed down,
    // colours tone-mapped, subtitle files that cannot be read.
    QStringList notes;
    // The picture goes through a hardware encoder (should it fail, software may take over).
    bool usesHardware = false;
    // Two-Pass: the measuring pass, run before command (which is then the second pass); it
    // writes nothing but its log.
    std::optional<ToolCommand> firstPass;
};

// Why a command could not be built; the run marks the item "Fail".
struct EncoderCommandError {
    QString reason;
};

using EncoderCommandResult = std::variant<EncoderCommand, EncoderCommandError>;

// Reads the option sheet's encoding choices: why not, when a row is missing ("The option sheet
// is incomplete.") or holds what is not a number where one is needed.
std::variant<EncoderOptions, EncoderCommandError> readEncoderOptions(const OptionSheet& sheet);

// The audio codec argument for an "Audio Codec" value.
QString translateAudioCodec(const QString& value);

// Whether two paths name the same file (the same device and inode: hard links included).
bool sameFile(const QString& a, const QString& b);

// The file name without folder and without its last extension (the whole name when it has
// no extension).
QString outputBaseName(const QString& inputPath);

// Whether a name is in use on disk (a dangling symbolic link takes a name too).
bool nameInUse(const QString& path);

// The rules an output's name follows.
struct OutputNaming {
    // The wanted name may replace a file there; never the input, nor a file this batch wrote.
    bool overwrite = false;
    QString inputPath;
    QStringList writtenByBatch;
};

struct OutputName {
    QString path;
    QString wanted;        // the name asked for (cut to fit)
    QString batchConflict; // wanted, when an earlier item of the batch wrote it; else empty
};

// The name for an output wanted as folder/stem + extension: cut to fit a file name (leaving
// room for the hidden name it is written under first), then, while the name is taken, given
// "_New" (again and again, then numbered once "_New" no longer fits). A name is taken when a
// file has it (exists answers; it defaults to nameInUse), unless overwriting allows it, and
// always when its hidden partial file exists: another conversion is writing it.
OutputName chooseOutputName(const QString& folder, const QString& stem, const QString& extension,
                            const OutputNaming& naming,
                            const std::function<bool(const QString&)>& exists = {});

// Builds the encoder command line and the output path (chooseOutputName: exists answers
// whether a name is taken; it defaults to the file system).
EncoderCommandResult buildEncoderCommand(const EncoderInputs& inputs,
                                         const std::function<bool(const QString&)>& exists = {});

} // namespace clipvane
