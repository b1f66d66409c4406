#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <variant>

namespace clipvane {

class OptionSheet;

// Everything one encoder command is made from.
struct EncoderInputs {
    QString programFolder;
    QString inputPath;
    QString clipStart; // H:MM:SS or H:MM:SS.cc
    QString clipEnd;   // H:MM:SS or H:MM:SS.cc
    // The file's length as the row shows it (Video Time) and exactly (0: unknown): a clip that
    // ends at Video Time runs to the exact end.
    QString videoTime;
    double exactLength = 0;
    QString profileCaption;
    // Option values as the sheet shows them.
    QString videoSize;
    QString videoBitrate;
    QString videoFramerate;
    QString keepAspectRatio; // "Yes" keeps the picture's shape inside the size
    QString encodingSpeed;   // "Fast", "Balanced", "Small File" (today's formats)
    QString audioCodec;
    QString disableAudio;
    QString audioBitrate;
    QString sampleRate;
    QString audioChannel;
    // Settings.
    QString outputFolder;   // where the output goes (the run resolves the default)
    bool overwrite = false; // an existing output is replaced, or the new one takes a "_New" name
    double threadCount = 0;
    // Outputs earlier items of the same batch wrote: never overwritten, whatever overwrite
    // says, so that two inputs with the same base name both survive.
    QStringList writtenByBatch;
};

// Where a clip starts and how long it lasts, in seconds as the encoder takes them ("12",
// "1.5", "10.04").
struct ClipSeconds {
    QString start;
    QString length;
};

struct EncoderCommand {
    QString commandLine;
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
};

// Why a command could not be built; the run marks the item "Fail".
struct EncoderCommandError {
    QString reason;
};

using EncoderCommandResult = std::variant<EncoderCommand, EncoderCommandError>;

// Reads the option values the encoder needs; false when a row is missing.
bool readEncoderOptions(const OptionSheet& sheet, EncoderInputs& inputs);

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
