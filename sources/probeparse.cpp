#include "sources/probeparse.h"

#include "base/textvalues.h"
#include "process/commandline.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace clipvane {

QString identifyCommandLine(const QString& folderWithSlash, const QString& filePath) {
    // The folder already ends in "/": the doubled slash ("/prog//mp.dll") is the command text
    // as it has always been written, and the tests hold it to that. The system reads "//" as
    // one separator.
    return quoteIfNeeded(folderWithSlash + QStringLiteral("/mp.dll")) +
           QStringLiteral(" -identify -benchmark -nosound -vo null -vf cropdetect -endpos 1 ") +
           quoteArgument(filePath);
}

QString listingCommandLine(const QString& ffprobe, const QString& filePath) {
    // At warning level the prober also says when its duration is a guess from the bit rate,
    // and when a file's index is missing.
    return quoteArgument(ffprobe) +
           QStringLiteral(" -v warning -show_entries stream=index,codec_type,codec_name,width,"
                          "height,sample_aspect_ratio,display_aspect_ratio,channels,"
                          "channel_layout,color_primaries,color_transfer,color_space:"
                          "stream_tags=language,title,handler_name:stream_disposition=default,"
                          "forced,attached_pic:chapter=start_time,end_time:chapter_tags=title:"
                          "format=duration -of json ") +
           quoteArgument(filePath);
}

namespace {
// "16:9" as 16/9; 0 for anything else ("0:1", "N/A").
double ratio(QStringView text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return 0;
    const double num = text.first(colon).toDouble();
    const double den = text.sliced(colon + 1).toDouble();
    return num > 0 && den > 0 && std::isfinite(num / den) ? num / den : 0;
}
} // namespace

double displayAspect(qint64 width, qint64 height, const QString& sampleAspect,
                     const QString& displayAspectRatio) {
    if (const double dar = ratio(displayAspectRatio); dar > 0)
        return dar;
    if (width <= 0 || height <= 0)
        return 0;
    const double sar = ratio(sampleAspect);
    return static_cast<double>(width) * (sar > 0 ? sar : 1.0) / static_cast<double>(height);
}

IdentifyResult parseIdentifyOutput(const QString& output) {
    IdentifyResult result;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = output.split(lineEnd);
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char('='));
        if (pieces.size() < 2)
            continue;
        const QString& key = pieces.at(0);
        const QString& value = pieces.at(1);
        if (key.startsWith(QLatin1String("ID_VIDEO_")))
            result.hasVideo = true;
        else if (key == QLatin1String("ID_AUDIO_ID"))
            result.hasAudio = true;
        if (key == QLatin1String("ID_VIDEO_WIDTH") || key == QLatin1String("ID_VIDEO_HEIGHT")) {
            const std::optional<double> n = strictNumber(value);
            if (!n || std::fabs(*n) > 1e12) {
                result.complete = false;
                return result;
            }
            (key == QLatin1String("ID_VIDEO_WIDTH") ? result.width : result.height) =
                roundHalfEven(*n);
        } else if (key == QLatin1String("ID_LENGTH")) {
            result.seconds = leadingNumber(value);
            result.length = shownLength(*result.seconds).value_or(0);
        } else if (key == QLatin1String("ID_VIDEO_FORMAT")) {
            result.format = value;
        } else if (key == QLatin1String("ID_VIDEO_FPS")) {
            const double fps = leadingNumber(value);
            result.frameRate = fps > 0 && fps < 1000 ? fps : 0;
        } else if (key == QLatin1String("ID_VIDEO_ASPECT")) {
            // 0 until a frame is decoded; a later line has the real value.
            const double aspect = strictNumber(value).value_or(0);
            if (aspect > 0 && aspect < 1e6)
                result.pictureAspect = aspect;
        }
    }
    return result;
}

} // namespace clipvane
