#include "convert/encodercommand.h"

#include "base/textvalues.h"
#include "convert/outputfiles.h"
#include "convert/outputsize.h"
#include "convert/todaysformats.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <sys/stat.h>

namespace clipvane {

namespace {
// A width and height ("1280x720"); nothing for anything else.
std::optional<std::pair<int, int>> sizeOf(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch size = form.match(text);
    if (!size.hasMatch())
        return std::nullopt;
    const int width = size.captured(1).toInt();
    const int height = size.captured(2).toInt();
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return std::make_pair(width, height);
}
} // namespace

std::variant<EncoderOptions, EncoderCommandError> readEncoderOptions(const OptionSheet& sheet) {
    const auto value = [&sheet](const QString& category, const QString& caption) {
        return sheet.value(category, caption);
    };
    const std::optional<QString> size = value(opt::Video, opt::VideoSize);
    const std::optional<QString> vbits = value(opt::Video, opt::VideoBitrate);
    const std::optional<QString> rate = value(opt::Video, opt::VideoFramerate);
    const std::optional<QString> keep = value(opt::Video, opt::KeepAspectRatio);
    const std::optional<QString> speed = value(opt::Video, opt::EncodingSpeed);
    const std::optional<QString> codec = value(opt::Audio, opt::AudioCodec);
    const std::optional<QString> off = value(opt::Audio, opt::DisableAudio);
    const std::optional<QString> abits = value(opt::Audio, opt::AudioBitrate);
    const std::optional<QString> sampleRate = value(opt::Audio, opt::SampleRate);
    const std::optional<QString> channels = value(opt::Audio, opt::AudioChannel);
    if (!size || !vbits || !rate || !keep || !speed || !codec || !off || !abits || !sampleRate ||
        !channels)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "The option sheet is incomplete.")};

    EncoderOptions o;
    if (size->trimmed() != choice::SameAsSource) {
        const auto wh = sizeOf(*size);
        if (!wh)
            return EncoderCommandError{
                QCoreApplication::translate(
                    "EncoderCommand",
                    "Video Size is not a size of two even numbers such as 1280x720: ") +
                *size};
        o.width = wh->first;
        o.height = wh->second;
    }
    if (vbits->trimmed() == choice::TargetSize) {
        const QString typed = value(opt::Video, opt::TargetSize).value_or(QString()).trimmed();
        const std::optional<double> megabytes = strictNumber(typed);
        if (!megabytes || *megabytes <= 0 || *megabytes > 1e7)
            return EncoderCommandError{
                QCoreApplication::translate("EncoderCommand",
                                            "Target Size (MB) is not a number of megabytes: ") +
                typed};
        o.targetBytes = *megabytes * kBytesPerMegabyte;
    } else if (vbits->trimmed() != choice::Auto) {
        o.videoKbits = strictNumber(*vbits);
        if (!o.videoKbits || *o.videoKbits <= 0 || *o.videoKbits > 1e6)
            return EncoderCommandError{
                QCoreApplication::translate("EncoderCommand", "Video Bitrate is not a number: ") +
                *vbits};
    }
    if (rate->trimmed() != choice::Auto && rate->trimmed() != choice::SameAsSource) {
        o.frameRate = strictNumber(*rate);
        if (!o.frameRate || *o.frameRate <= 0 || *o.frameRate > 1000)
            return EncoderCommandError{
                QCoreApplication::translate("EncoderCommand", "Video Framerate is not a number: ") +
                *rate};
    }
    o.keepAspect = *keep != choice::No;
    // A sheet without the row burns nothing in.
    const QString burn = value(opt::Video, opt::BurnInSubtitles).value_or(choice::None).trimmed();
    o.burnIn = burn == choice::ChosenTrack  ? BurnIn::ChosenTrack
               : burn == choice::ForcedOnly ? BurnIn::ForcedOnly
                                            : BurnIn::None;
    const QString pace = speed->trimmed();
    o.speed = pace == choice::Fast        ? EncodingSpeed::Fast
              : pace == choice::SmallFile ? EncodingSpeed::SmallFile
                                          : EncodingSpeed::Balanced;
    // A sheet without the row, or a name this program does not know: software.
    o.hardware = hardwareKindNamed(value(opt::Video, opt::Encoder).value_or(QString()).trimmed())
                     .value_or(HardwareKind::Software);
    o.audioCodec = *codec;
    o.audioOff = *off != QLatin1String("No");
    const std::optional<double> kbits = strictNumber(*abits);
    if (!kbits || *kbits < 0 || *kbits > 1e6)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Audio Bitrate is not a number: ") +
            *abits};
    o.audioKbits = *kbits;
    const std::optional<double> hertz = strictNumber(*sampleRate);
    if (!hertz || *hertz <= 0 || *hertz > 1e7 || *hertz != std::floor(*hertz))
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Sample Rate is not a number: ") +
            *sampleRate};
    o.sampleRate = static_cast<int>(*hertz);
    if (channels->trimmed() != choice::SameAsSource) {
        const std::optional<double> count = strictNumber(*channels);
        if (!count || *count < 0 || *count > 64)
            return EncoderCommandError{
                QCoreApplication::translate("EncoderCommand", "Audio Channel is not a number: ") +
                *channels};
        o.audioChannels = *count;
    }
    if (const std::optional<QString> why = readPictureOptions(sheet, &o.picture))
        return EncoderCommandError{*why};
    return o;
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

// "25", "29.97": a number as typed, without a fraction when it is whole.
QString numberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 12);
}
} // namespace

namespace {
// The Flash profiles' arguments, from the input to the audio codec, in their recorded form.
std::optional<EncoderCommandError> addFlashArguments(ToolCommand& cmd, const EncoderInputs& in,
                                                     const ClipSeconds& clip) {
    const EncoderOptions& o = in.options;
    if (!o.audioChannels)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Audio Channel is not a number: ") +
            choice::SameAsSource};
    if (!o.videoKbits)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "Video Bitrate is not a number: ") +
            choice::Auto};
    if (o.sameSizeAsSource())
        return EncoderCommandError{
            QCoreApplication::translate(
                "EncoderCommand",
                "Video Size is not a size of two even numbers such as 1280x720: ") +
            choice::SameAsSource};
    const QString size = QStringLiteral("%1x%2").arg(o.width).arg(o.height);
    using Q = ToolCommand::Quote;
    cmd.add(QStringLiteral("-i")).add(in.inputPath, Q::Always);
    cmd.add(QStringLiteral("-ab"), Q::IfNeeded, QStringLiteral("  "))
        .add(QString::number(roundHalfEven(o.audioKbits)) + QStringLiteral("000"));
    cmd.add(QStringLiteral("-ac"), Q::IfNeeded, QStringLiteral("  "))
        .add(QString::number(roundHalfEven(*o.audioChannels)));
    cmd.add(QStringLiteral("-ar")).add(QString::number(o.sampleRate));
    cmd.add(QStringLiteral("-b")).add(QString::number(roundHalfEven(*o.videoKbits * 1000)));
    // "Auto" is 25 pictures a second.
    cmd.add(QStringLiteral("-r"))
        .add(o.frameRate ? numberText(*o.frameRate) : QStringLiteral("25"));
    cmd.add(QStringLiteral("-ss")).add(clip.start).add(QStringLiteral("-t")).add(clip.length);
    cmd.add(QStringLiteral("-s")).add(size);
    // Keeping the shape inside the exact size the user picked: black bars fill the rest.
    if (o.keepAspect) {
        if (const std::optional<QString> pad = pictureSizeFilter(o.width, o.height, true, true))
            cmd.add(QStringLiteral("-vf")).add(*pad);
    }
    cmd.add(QStringLiteral("-acodec")).add(translateAudioCodec(o.audioCodec));
    if (o.audioOff)
        cmd.add(QStringLiteral("-an")).trail(QStringLiteral(" "));
    return std::nullopt;
}
} // namespace

EncoderCommandResult buildEncoderCommand(const EncoderInputs& asked,
                                         const std::function<bool(const QString&)>& existsFn) {
    const std::function<bool(const QString&)> exists = existsFn ? existsFn : nameInUse;
    // A size asked for becomes the video rate that fills it (the run has done so already, to
    // give the two passes a folder; a sample or a planned name does it here).
    EncoderInputs in = asked;
    if (const std::optional<QString> refused = resolveTargetSize(in))
        return EncoderCommandError{*refused};

    const std::optional<QString> extension =
        in.profile && !in.profile->isHeading ? outputExtension(in.profile->caption) : std::nullopt;
    if (!extension)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "No output profile is selected.")};
    // A missing time, or an end at 0, is a probe that found no length, never a request for
    // an empty file.
    if (!in.clipStart || !in.clipEnd || *in.clipEnd == 0)
        return EncoderCommandError{QCoreApplication::translate(
            "EncoderCommand",
            "Clipvane could not read the length of this file: it may not be a video.")};
    const qint64 start = *in.clipStart;
    const qint64 end = *in.clipEnd;
    if (end <= start)
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "The clip is empty: its end ") +
            clipTimeText(end) +
            QCoreApplication::translate("EncoderCommand", " is not after its start ") +
            clipTimeText(start) + QLatin1Char('.')};
    if (in.outputFolder.isEmpty())
        return EncoderCommandError{
            QCoreApplication::translate("EncoderCommand", "No output folder is set.")};

    const OutputName name =
        chooseOutputName(in.outputFolder, outputBaseName(in.inputPath), *extension,
                         {in.overwrite, in.inputPath, in.writtenByBatch}, exists);
    // The encoder writes beside the output under a hidden name, created for it beforehand;
    // the output takes its name only once it has been checked.
    const QString encodePath = partialPath(name.path);

    // A row trimmed at the end gets its own times; one that runs to the end of the file (End
    // is its length, rounded for show) gets the file's exact length, so no frame is lost.
    const bool toTheEnd = in.exactLength > 0 && shownLength(in.exactLength) == end;
    const double clipLength = toTheEnd ? in.exactLength - static_cast<double>(start) / 100.0
                                       : static_cast<double>(end - start) / 100.0;
    const ClipSeconds clip{secondsText(start),
                           toTheEnd ? exactSecondsText(clipLength) : secondsText(end - start)};

    ToolCommand cmd;
    QStringList notes;
    cmd.add(in.programFolder + QStringLiteral("/fp.dll"), ToolCommand::Quote::Always);
    std::optional<ToolCommand> firstPass;
    if (in.profile->isTodaysFormat()) {
        ToolCommand measure;
        if (const auto error =
                addTodaysFormatArguments(cmd, *in.profile, in, clip, &notes, &measure))
            return EncoderCommandError{error->reason};
        if (!measure.arguments().isEmpty())
            firstPass = measure;
    } else if (const auto error = addFlashArguments(cmd, in, clip)) {
        return *error;
    }
    // Output options must precede the output file: FFmpeg ignores what trails it, and
    // without -y it refuses (or asks) to overwrite the hidden file made for it.
    cmd.add(QStringLiteral("-y"));
    // A negative count (a hand-edited settings file) means none: FFmpeg refuses it.
    if (in.threads > 0)
        cmd.add(QStringLiteral("-threads"))
            .add(QString::number(in.threads), ToolCommand::Quote::IfNeeded, QStringLiteral("  "));
    cmd.add(encodePath, ToolCommand::Quote::Always);
    if (firstPass) {
        firstPass->add(QStringLiteral("-y"));
        if (in.threads > 0)
            firstPass->add(QStringLiteral("-threads")).add(QString::number(in.threads));
        firstPass->add(QStringLiteral("-"));
    }
    EncoderCommand built{cmd,
                         name.path,
                         encodePath,
                         static_cast<qint64>(std::ceil(clipLength - 1e-9)),
                         name.batchConflict,
                         clipLength,
                         notes,
                         false,
                         std::nullopt};
    built.usesHardware = in.profile->isTodaysFormat() && !in.profile->isSoundOnly() &&
                         in.options.hardware != HardwareKind::Software &&
                         usableHardware(in.options.hardware, in.profile->videoCodec).has_value();
    built.firstPass = firstPass;
    return built;
}

} // namespace clipvane
