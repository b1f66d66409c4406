#include "convert/todaysformats.h"

#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/picturefilters.h"
#include "convert/streammap.h"
#include "options/profiles.h"
#include "process/commandline.h"

#include <QCoreApplication>
#include <cmath>

namespace clipvane {
namespace {

struct VideoEncoder {
    const char* codec; // the "Video Codec" choice
    QStringList encoder;
    QStringList speeds[3];       // Fast, Balanced, Small File
    bool bitrateReplacesQuality; // a bit rate is given alone (the quality would override it)
    QStringList extra;
};

const QList<VideoEncoder>& videoEncoders() {
    static const QList<VideoEncoder> encoders = {
        {"H.264",
         {"-c:v", "libx264"},
         {{"-preset", "veryfast"}, {"-preset", "medium"}, {"-preset", "slow"}},
         false,
         {}},
        // Tagged hvc1, which Apple's players ask for (FFmpeg's default is hev1).
        {"H.265",
         {"-c:v", "libx265"},
         {{"-preset", "veryfast"}, {"-preset", "medium"}, {"-preset", "slow"}},
         false,
         {"-tag:v", "hvc1"}},
        // libvpx is fast only in its realtime mode.
        {"VP9",
         {"-c:v", "libvpx-vp9"},
         {{"-deadline", "realtime", "-cpu-used", "5"},
          {"-deadline", "good", "-cpu-used", "2"},
          {"-deadline", "good", "-cpu-used", "1"}},
         true,
         {"-row-mt", "1"}},
        // SVT-AV1 ignores a bit rate given with -crf.
        {"AV1",
         {"-c:v", "libsvtav1"},
         {{"-preset", "10"}, {"-preset", "8"}, {"-preset", "6"}},
         true,
         {}},
    };
    return encoders;
}

int speedIndex(EncodingSpeed speed) {
    switch (speed) {
    case EncodingSpeed::Fast:
        return 0;
    case EncodingSpeed::SmallFile:
        return 2;
    case EncodingSpeed::Balanced:
        break;
    }
    return 1;
}

// "25", "29.97": a rate as the sheet shows it.
QString rateText(double rate) {
    return rate == std::floor(rate) ? QString::number(static_cast<qint64>(rate))
                                    : QString::number(rate, 'g', 12);
}
} // namespace

std::optional<QString> muxerFor(const QString& extension) {
    static const QHash<QString, QString> muxers = {
        {QStringLiteral(".mp4"), QStringLiteral("mp4")},
        {QStringLiteral(".webm"), QStringLiteral("webm")},
        {QStringLiteral(".mkv"), QStringLiteral("matroska")},
        {QStringLiteral(".mp3"), QStringLiteral("mp3")},
        // The iPod muxer is MP4 branded as sound only ("M4A ").
        {QStringLiteral(".m4a"), QStringLiteral("ipod")},
    };
    const auto found = muxers.constFind(extension.toLower());
    if (found == muxers.constEnd())
        return std::nullopt;
    return *found;
}

std::optional<QString> pictureSizeFilter(int width, int height, bool keepAspect, bool pad) {
    if (width == 0 && height == 0)
        return QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2");
    if (width < 2 || height < 2 || width % 2 || height % 2)
        return std::nullopt;
    const QString w = QString::number(width);
    const QString h = QString::number(height);
    if (!keepAspect)
        return QStringLiteral("scale=%1:%2,setsar=1").arg(w, h);
    // The scaler's own aspect keeping looks at the stored size only: square the pixels
    // first (nothing to do for square ones), then fit.
    QString chain = QStringLiteral("scale=trunc(iw*sar/2)*2:ih,setsar=1,scale=%1:%2:"
                                   "force_original_aspect_ratio=decrease:force_divisible_by=2")
                        .arg(w, h);
    if (pad)
        chain += QStringLiteral(",pad=%1:%2:(ow-iw)/2:(oh-ih)/2:black").arg(w, h);
    return chain + QStringLiteral(",setsar=1");
}

namespace {
// The clip's inputs, up to its length (-t).
void addInputs(ToolCommand& command, const EncoderInputs& in, const ClipSeconds& clip,
               const StreamPlan& plan) {
    // Seeking in the input: a clip late in a long file starts at once.
    command.add(QStringLiteral("-ss")).add(clip.start).add(QStringLiteral("-i"));
    command.add(in.inputPath, ToolCommand::Quote::Always);
    for (const QString& arg : plan.inputs)
        command.add(arg, arg.startsWith(QLatin1Char('/')) ? ToolCommand::Quote::Always
                                                          : ToolCommand::Quote::IfNeeded);
    command.add(QStringLiteral("-t")).add(clip.length);
}

// The arguments of a pass of a two-pass encoding with its log at that path (without its
// ending); nothing for an encoder FFmpeg runs in one pass only (SVT-AV1).
std::optional<QStringList> passArguments(const QString& codec, int pass, const QString& log) {
    if (codec == QLatin1String("H.265"))
        return QStringList{QStringLiteral("-x265-params"),
                           QStringLiteral("pass=%1:stats=%2.log").arg(pass).arg(log)};
    if (codec == QLatin1String("H.264") || codec == QLatin1String("VP9"))
        return QStringList{QStringLiteral("-pass"), QString::number(pass),
                           QStringLiteral("-passlogfile"), log};
    return std::nullopt;
}
} // namespace

std::optional<FormatArgumentsError>
addTodaysFormatArguments(ToolCommand& command, const ProfileEntry& profile, const EncoderInputs& in,
                         const ClipSeconds& clip, QStringList* notes, ToolCommand* firstPass) {
    const EncoderOptions& o = in.options;
    const std::optional<QString> extension = outputExtension(profile.caption);
    const std::optional<QString> muxer = extension ? muxerFor(*extension) : std::nullopt;
    if (!muxer)
        return FormatArgumentsError{
            QCoreApplication::translate("EncoderCommand", "No output profile is selected.")};

    const StreamPlan plan = planStreams(profile, *muxer, in, clip.start);
    QStringList args;
    std::optional<HardwareArguments> hardware;
    if (profile.isSoundOnly()) {
        args << QStringLiteral("-vn");
    } else {
        const VideoEncoder* encoder = nullptr;
        for (const VideoEncoder& e : videoEncoders()) {
            if (profile.videoCodec == QLatin1String(e.codec))
                encoder = &e;
        }
        if (!encoder)
            return FormatArgumentsError{
                QCoreApplication::translate("EncoderCommand", "No output profile is selected.")};
        const PictureOptions& picture = o.picture;
        const PictureFacts& facts = in.streams.picture;
        std::optional<QString> filter =
            o.sameSizeAsSource() ? sameSizeChain(picture.squarePixels)
                                 : pictureSizeFilter(o.width, o.height, o.keepAspect, false);
        // A hardware encoder takes the pictures on its device; one not found here (a preset
        // from another computer) gives way to software.
        if (o.hardware != HardwareKind::Software) {
            if (const auto found = usableHardware(o.hardware, profile.videoCodec))
                hardware =
                    hardwareArguments(*found, o.videoKbits, picture.quality, speedIndex(o.speed));
            else if (notes)
                *notes << QCoreApplication::translate(
                              "EncoderCommand",
                              "%1 is not available on this computer: converted in software.")
                              .arg(hardwareKindName(o.hardware));
        }
        if (!filter)
            return FormatArgumentsError{
                QCoreApplication::translate("EncoderCommand",
                                            "Video Size is not a size of two even numbers such as "
                                            "1280x720: ") +
                QStringLiteral("%1x%2").arg(o.width).arg(o.height)};
        // Deinterlacing, crop, denoise and turns come first: subtitles are drawn on the
        // picture as it will be shown.
        if (filter && hardware && !hardware->filterTail.isEmpty())
            *filter += QLatin1Char(',') + hardware->filterTail;
        StreamPlan shaped = plan;
        shaped.pictureFilters = leadingPictureFilters(picture, facts, notes) + plan.pictureFilters;
        args << shaped.pictureArguments(*filter);
        if (o.frameRate)
            args << QStringLiteral("-r") << rateText(*o.frameRate);
        if (hardware) {
            args << hardware->encoder << plan.colourArguments;
            if (picture.twoPass && o.videoKbits && notes)
                *notes << QCoreApplication::translate("EncoderCommand",
                                                      "%1 is encoded in one pass: Two-Pass is not "
                                                      "offered for it.")
                              .arg(hardwareKindName(o.hardware));
        } else {
            args << encoder->encoder << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
            if (!o.videoKbits) {
                // A constant quality, capped for the picture's size so that a noisy source
                // cannot swell the file without end.
                const QString codec = QLatin1String(encoder->codec);
                const int quality = picture.quality.value_or(qualityScale(codec)->standard);
                args << cappedQualityArguments(
                    codec, quality,
                    rateCapKbits(codec, outputShorterSide(o.width, o.height, picture, facts)));
            } else
                args << QStringLiteral("-b:v")
                     << QString::number(roundHalfEven(*o.videoKbits)) + 'k';
            args << encoder->speeds[speedIndex(o.speed)] << encoder->extra << plan.colourArguments;
            // Two passes for a bit rate: the first only measures the picture (its log in the
            // item's own folder), the second spends the rate where the first found it needed.
            const QString codec = QLatin1String(encoder->codec);
            if (firstPass && picture.twoPass && o.videoKbits && !in.passLogFolder.isEmpty()) {
                const QString log = in.passLogFolder + QStringLiteral("/pass");
                if (const std::optional<QStringList> first = passArguments(codec, 1, log)) {
                    QStringList measure = args;
                    // The measuring pass must see the very pictures the second encodes: the
                    // null output would pass the timestamps through where the file's format
                    // keeps a constant rate (a picture repeated to fill a gap), and the second
                    // pass then finds more pictures than its log and fails.
                    measure << *first << QStringLiteral("-fps_mode") << QStringLiteral("cfr")
                            << QStringLiteral("-an") << QStringLiteral("-sn")
                            << QStringLiteral("-dn") << QStringLiteral("-f")
                            << QStringLiteral("null");
                    *firstPass = ToolCommand();
                    firstPass->add(command.arguments().value(0), ToolCommand::Quote::Always);
                    addInputs(*firstPass, in, clip, plan);
                    firstPass->add(measure);
                    args << *passArguments(codec, 2, log);
                } else if (notes) {
                    *notes << QCoreApplication::translate(
                                  "EncoderCommand", "%1 is encoded in one pass: Two-Pass is not "
                                                    "offered for it.")
                                  .arg(codec);
                }
            }
        }
    }
    args << plan.audioArguments << plan.subtitleArguments;
    // Data streams would go into WebM and Matroska as they are.
    args << QStringLiteral("-dn");
    // The index first, so that a player can start before the whole file is there.
    if (*muxer == QLatin1String("mp4") || *muxer == QLatin1String("ipod"))
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    // Named, as the file may be written under a passing name first.
    args << QStringLiteral("-f") << *muxer;

    if (hardware)
        command.add(hardware->beforeInput);
    addInputs(command, in, clip, plan);
    command.add(args);
    if (notes)
        *notes << plan.notes;
    return std::nullopt;
}

} // namespace clipvane
