#include "convert/todaysformats.h"

#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "options/profiles.h"
#include "process/commandline.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace clipvane {
namespace {

struct VideoEncoder {
    const char* codec; // the "Video Codec" choice
    QStringList encoder;
    QStringList constantQuality; // "Auto": a quality level that suits most pictures
    QStringList speeds[3];       // Fast, Balanced, Small File
    bool bitrateReplacesQuality; // a bit rate is given alone (the quality would override it)
    QStringList extra;
};

const QList<VideoEncoder>& videoEncoders() {
    static const QList<VideoEncoder> encoders = {
        {"H.264",
         {"-c:v", "libx264"},
         {"-crf", "23"},
         {{"-preset", "veryfast"}, {"-preset", "medium"}, {"-preset", "slow"}},
         false,
         {}},
        // Tagged hvc1, which Apple's players ask for (FFmpeg's default is hev1).
        {"H.265",
         {"-c:v", "libx265"},
         {"-crf", "28"},
         {{"-preset", "veryfast"}, {"-preset", "medium"}, {"-preset", "slow"}},
         false,
         {"-tag:v", "hvc1"}},
        // libvpx is fast only in its realtime mode; "-b:v 0" makes -crf a constant quality.
        {"VP9",
         {"-c:v", "libvpx-vp9"},
         {"-crf", "31", "-b:v", "0"},
         {{"-deadline", "realtime", "-cpu-used", "5"},
          {"-deadline", "good", "-cpu-used", "2"},
          {"-deadline", "good", "-cpu-used", "1"}},
         true,
         {"-row-mt", "1"}},
        // SVT-AV1 ignores a bit rate given with -crf.
        {"AV1",
         {"-c:v", "libsvtav1"},
         {"-crf", "35"},
         {{"-preset", "10"}, {"-preset", "8"}, {"-preset", "6"}},
         true,
         {}},
    };
    return encoders;
}

QString audioEncoder(const QString& codec) {
    if (codec == QLatin1String("opus"))
        return QStringLiteral("libopus");
    if (codec == QLatin1String("mp3"))
        return QStringLiteral("libmp3lame");
    return codec; // "aac" is FFmpeg's own encoder's name
}

int speedIndex(const QString& speed) {
    if (speed == choice::Fast)
        return 0;
    if (speed == choice::SmallFile)
        return 2;
    return 1;
}

QString joinArguments(const QStringList& arguments) {
    QString text;
    for (const QString& argument : arguments)
        text += QLatin1Char(' ') + quoteIfNeeded(argument);
    return text;
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

std::optional<QString> pictureSizeFilter(const QString& videoSize, bool keepAspect, bool pad) {
    if (videoSize.trimmed() == choice::SameAsSource)
        return QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2");
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch size = form.match(videoSize);
    if (!size.hasMatch())
        return std::nullopt;
    const int width = size.captured(1).toInt();
    const int height = size.captured(2).toInt();
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

std::variant<QString, FormatArgumentsError> todaysFormatArguments(const ProfileEntry& profile,
                                                                  const EncoderInputs& in,
                                                                  const ClipSeconds& clip) {
    const std::optional<QString> extension = outputExtension(profile.caption);
    const std::optional<QString> muxer = extension ? muxerFor(*extension) : std::nullopt;
    if (!muxer)
        return FormatArgumentsError{
            QCoreApplication::translate("EncoderCommand", "No output profile is selected.")};

    // Seeking in the input: a clip late in a long file starts at once.
    QString text = QStringLiteral(" -ss ") + clip.start + QStringLiteral(" -i ") +
                   quoteArgument(in.inputPath) + QStringLiteral(" -t ") + clip.length;
    QStringList args;
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
        const std::optional<QString> filter =
            pictureSizeFilter(in.videoSize, in.keepAspectRatio != choice::No, false);
        if (!filter)
            return FormatArgumentsError{
                QCoreApplication::translate("EncoderCommand",
                                            "Video Size is not a size of two even numbers such as "
                                            "1280x720: ") +
                in.videoSize};
        args << QStringLiteral("-vf") << *filter;
        if (in.videoFramerate.trimmed() != choice::SameAsSource) {
            const std::optional<double> rate = strictNumber(in.videoFramerate);
            if (!rate || *rate <= 0)
                return FormatArgumentsError{
                    QCoreApplication::translate("EncoderCommand",
                                                "Video Framerate is not a number: ") +
                    in.videoFramerate};
            args << QStringLiteral("-r") << in.videoFramerate.trimmed();
        }
        args << encoder->encoder << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        if (in.videoBitrate.trimmed() == choice::Auto) {
            args << encoder->constantQuality;
        } else {
            const std::optional<double> kbits = strictNumber(in.videoBitrate);
            if (!kbits || *kbits <= 0 || *kbits > 1e6)
                return FormatArgumentsError{
                    QCoreApplication::translate("EncoderCommand",
                                                "Video Bitrate is not a number: ") +
                    in.videoBitrate};
            args << QStringLiteral("-b:v") << QString::number(roundHalfEven(*kbits)) + 'k';
        }
        args << encoder->speeds[speedIndex(in.encodingSpeed.trimmed())] << encoder->extra;
    }
    if (in.disableAudio != QLatin1String("No")) {
        args << QStringLiteral("-an");
    } else {
        const std::optional<double> kbits = strictNumber(in.audioBitrate);
        const std::optional<double> channels = strictNumber(in.audioChannel);
        if (!kbits || !channels)
            return FormatArgumentsError{
                QCoreApplication::translate("EncoderCommand", "Audio Bitrate is not a number: ") +
                in.audioBitrate};
        args << QStringLiteral("-c:a") << audioEncoder(in.audioCodec) << QStringLiteral("-b:a")
             << QString::number(roundHalfEven(*kbits)) + 'k' << QStringLiteral("-ar")
             << in.sampleRate.trimmed() << QStringLiteral("-ac")
             << QString::number(roundHalfEven(*channels));
    }
    // Subtitles and data streams would go into WebM and Matroska as they are.
    args << QStringLiteral("-sn") << QStringLiteral("-dn");
    // The index first, so that a player can start before the whole file is there.
    if (*muxer == QLatin1String("mp4") || *muxer == QLatin1String("ipod"))
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    // Named, as the file may be written under a passing name first.
    args << QStringLiteral("-f") << *muxer;
    return text + joinArguments(args);
}

} // namespace clipvane
