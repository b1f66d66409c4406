#include "convert/encodercommand.h"

#include "base/textvalues.h"
#include "convert/outputfiles.h"
#include "convert/todaysformats.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <sys/stat.h>

namespace clipvane {

bool readEncoderOptions(const OptionSheet& sheet, EncoderInputs& in) {
    struct Field {
        const QString& category;
        const QString& caption;
        QString& target;
    };
    const Field fields[] = {
        {opt::Video, opt::VideoSize, in.videoSize},
        {opt::Video, opt::VideoBitrate, in.videoBitrate},
        {opt::Video, opt::VideoFramerate, in.videoFramerate},
        {opt::Video, opt::KeepAspectRatio, in.keepAspectRatio},
        {opt::Video, opt::EncodingSpeed, in.encodingSpeed},
        {opt::Audio, opt::AudioCodec, in.audioCodec},
        {opt::Audio, opt::DisableAudio, in.disableAudio},
        {opt::Audio, opt::AudioBitrate, in.audioBitrate},
        {opt::Audio, opt::SampleRate, in.sampleRate},
        {opt::Audio, opt::AudioChannel, in.audioChannel},
    };
    for (const Field& f : fields) {
        const std::optional<QString> v = sheet.value(f.category, f.caption);
        if (!v)
            return false;
        f.target = *v;
    }
    return true;
}

QString translateAudioCodec(const QString& value) {
    static const QHash<QString, QString> table = {
        {QStringLiteral("aac"), QStringLiteral("aac")},
        {QStringLiteral("mp3"), QStringLiteral("libmp3lame")},
        {QStringLiteral("WMA9"), QStringLiteral("wmav2")},
        {QStringLiteral("WMA8"), QStringLiteral("wmav2")},
        {QStringLiteral("pcm"), QStringLiteral("pcm_s16le")},
        {QStringLiteral("amr_nb"), QStringLiteral("aac")},
        {QStringLiteral("faac"), QStringLiteral("aac")},
        {QStringLiteral("ac3"), QStringLiteral("ac3")},
        {QStringLiteral("ogg"), QStringLiteral("vorbis")},
        {QStringLiteral("wav"), QStringLiteral("pcm_s16le")},
        {QStringLiteral("WMA"), QStringLiteral("wmav2")},
        {QStringLiteral("mp2"), QStringLiteral("mp2")},
    };
    return table.value(value, value);
}

namespace {
// A file name holds at most 255 bytes, and the hidden name an output is written under first
// is longer by kPartialNameExtraBytes.
constexpr qsizetype kMaxNameBytes = 255 - kPartialNameExtraBytes;

qsizetype nameBytes(const QString& name) {
    return QFile::encodeName(name).size();
}

// The longest start of name that leaves room for suffix within kMaxNameBytes.
QString fitName(const QString& name, const QString& suffix) {
    QString cut = name;
    while (!cut.isEmpty() && nameBytes(cut + suffix) > kMaxNameBytes)
        cut.chop(cut.size() >= 2 && cut.at(cut.size() - 1).isLowSurrogate() ? 2 : 1);
    return cut;
}
} // namespace

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString outputBaseName(const QString& inputPath) {
    const qsizetype slash = inputPath.lastIndexOf(QLatin1Char('/'));
    const QString name = inputPath.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot marks a hidden file, not an extension.
    return dot > 0 ? name.left(dot) : name;
}

bool nameInUse(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

OutputName chooseOutputName(const QString& folder, const QString& stem, const QString& extension,
                            const OutputNaming& naming,
                            const std::function<bool(const QString&)>& existsFn) {
    const std::function<bool(const QString&)> exists = existsFn ? existsFn : nameInUse;
    const QString sep = QStringLiteral("/");
    // A name that would not fit is cut, and once "_New" can be added no more, the names are
    // numbered instead ("_New2", "_New3", ...).
    QString base = nameBytes(stem + extension) > kMaxNameBytes ? fitName(stem, extension) : stem;
    QString path = folder + sep + base + extension;
    const QString wanted = path;
    // Overwriting may replace an older output, never the file being converted nor a file an
    // earlier item of this batch wrote.
    QStringList written;
    for (const QString& p : naming.writtenByBatch)
        written.append(QDir::cleanPath(p));
    const auto isWritten = [&](const QString& p) { return written.contains(QDir::cleanPath(p)); };
    // A name whose hidden file exists is being written by another conversion (of another
    // window or program): it is taken whatever the settings say. Overwriting applies to the
    // name itself only: a "_New" name never replaces a file.
    const auto taken = [&](const QString& p) {
        return sameFile(p, naming.inputPath) || isWritten(p) || exists(partialPath(p)) ||
               ((!naming.overwrite || p != wanted) && exists(p));
    };
    for (int number = 1; taken(path);) {
        if (number == 1 && nameBytes(base + QStringLiteral("_New") + extension) <= kMaxNameBytes) {
            base += QStringLiteral("_New");
        } else {
            const QString numbered = QStringLiteral("_New%1").arg(++number);
            base = fitName(stem, numbered + extension) + numbered;
        }
        path = folder + sep + base + extension;
    }
    return OutputName{path, wanted, isWritten(wanted) ? wanted : QString()};
}

namespace {
// Seconds to the millisecond, without trailing zeros ("10.04", "12").
QString exactSecondsText(double seconds) {
    QString text = QString::number(std::max(0.0, seconds), 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString numberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value);
}
} // namespace

namespace {
// The Flash profiles' arguments, from the input to the audio codec.
QString flashArguments(const EncoderInputs& in, double audioBitrate, double audioChannel,
                       const ClipSeconds& clip) {
    const QString framerate =
        in.videoFramerate == QLatin1String("Auto") ? QStringLiteral("25") : in.videoFramerate;
    QString cmd;
    cmd += QStringLiteral(" -i ") + quoteArgument(in.inputPath);
    cmd += QStringLiteral("  -ab ") + QString::number(roundHalfEven(audioBitrate)) +
           QStringLiteral("000  -ac ") + QString::number(roundHalfEven(audioChannel));
    cmd += QStringLiteral(" -ar ") + in.sampleRate;
    cmd += QStringLiteral(" -b ") + in.videoBitrate + QStringLiteral("000 -r ") + framerate;
    cmd += QStringLiteral(" -ss ") + clip.start + QStringLiteral(" -t ") + clip.length;
    cmd += QStringLiteral(" -s ") + in.videoSize;
    // Keeping the shape inside the exact size the user picked: black bars fill the rest.
    if (in.keepAspectRatio == choice::Yes) {
        if (const std::optional<QString> pad = pictureSizeFilter(in.videoSize, true, true))
            cmd += QStringLiteral(" -vf ") + *pad;
    }
    cmd += QStringLiteral(" -acodec ") + translateAudioCodec(in.audioCodec);
    if (in.disableAudio != QLatin1String("No"))
        cmd += QStringLiteral(" -an ");
    return cmd;
}
} // namespace

EncoderCommandResult buildEncoderCommand(const EncoderInputs& in,
                                         const std::function<bool(const QString&)>& existsFn) {
    const std::function<bool(const QString&)> exists = existsFn ? existsFn : nameInUse;

    const std::optional<QString> extension = outputExtension(in.profileCaption);
    if (!extension)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "No output profile is selected.")};
    const std::optional<double> audioBitrate = strictNumber(in.audioBitrate);
    if (!audioBitrate)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Audio Bitrate is not a number: ") +
            in.audioBitrate};
    const std::optional<double> audioChannel = strictNumber(in.audioChannel);
    if (!audioChannel)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Audio Channel is not a number: ") +
            in.audioChannel};
    // Clip times to the hundredth of a second.
    const std::optional<qint64> start = parseClipTime(in.clipStart);
    const std::optional<qint64> end = parseClipTime(in.clipEnd);
    if (!start || !end) {
        // Empty times are a probe that found no length; anything else was typed.
        if (in.clipStart.trimmed().isEmpty() || in.clipEnd.trimmed().isEmpty())
            return EncoderCommandError{QCoreApplication::translate(
                "EncoderCommand",
                "Clipvane could not read the length of this file: it may not be a video.")};
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "The clip times are not times: ") +
            in.clipStart + QCoreApplication::translate("EncoderCommand", " to ") + in.clipEnd};
    }
    if (*end <= *start) {
        // A length of 0 is one nobody could read, never a request for an empty file.
        if (*end == 0)
            return EncoderCommandError{QCoreApplication::translate(
                "EncoderCommand",
                "Clipvane could not read the length of this file: it may not be a video.")};
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "The clip is empty: its end ") +
            in.clipEnd + QCoreApplication::translate("EncoderCommand", " is not after its start ") +
            in.clipStart + QLatin1Char('.')};
    }
    if (in.outputFolder.isEmpty())
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "No output folder is set.")};

    const OutputName name =
        chooseOutputName(in.outputFolder, outputBaseName(in.inputPath), *extension,
                         {in.overwrite, in.inputPath, in.writtenByBatch}, exists);
    // The encoder writes beside the output under a hidden name, created for it beforehand;
    // the output takes its name only once it has been checked.
    const QString encodePath = partialPath(name.path);

    QString cmd;
    cmd += quoteArgument(in.programFolder + QStringLiteral("/fp.dll"));
    // A row trimmed at the end gets its own times; one that runs to the end of the file (End
    // is its length, rounded for show) gets the file's exact length, so no frame is lost.
    const bool toTheEnd = in.exactLength > 0 && !in.videoTime.isEmpty() &&
                          in.clipEnd.trimmed() == in.videoTime.trimmed();
    const double clipLength = toTheEnd ? in.exactLength - static_cast<double>(*start) / 100.0
                                       : static_cast<double>(*end - *start) / 100.0;
    const ClipSeconds clip{secondsText(*start),
                           toTheEnd ? exactSecondsText(clipLength) : secondsText(*end - *start)};
    const ProfileEntry* profile = profileByCaption(in.profileCaption);
    if (profile && profile->isTodaysFormat()) {
        const auto arguments = todaysFormatArguments(*profile, in, clip);
        if (const auto* error = std::get_if<FormatArgumentsError>(&arguments))
            return EncoderCommandError{error->reason};
        cmd += std::get<QString>(arguments);
    } else {
        cmd += flashArguments(in, *audioBitrate, *audioChannel, clip);
    }
    // Output options must precede the output file: FFmpeg ignores what trails it, and
    // without -y it refuses (or asks) to overwrite the hidden file made for it.
    cmd += QStringLiteral(" -y");
    // A negative count (a hand-edited settings file) means none: FFmpeg refuses it.
    if (in.threadCount > 0)
        cmd += QStringLiteral(" -threads  ") + numberText(in.threadCount);
    cmd += QLatin1Char(' ') + quoteArgument(encodePath);
    return EncoderCommand{cmd,
                          name.path,
                          encodePath,
                          static_cast<qint64>(std::ceil(clipLength - 1e-9)),
                          name.batchConflict,
                          clipLength};
}

} // namespace clipvane
