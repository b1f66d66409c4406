#include "convert/picturefilters.h"

#include "options/optionsheet.h"
#include "options/profiles.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>

namespace clipvane {
namespace {

int evenDown(int n) {
    return n - (n & 1);
}

} // namespace

std::optional<CropWindow> parseCropWindow(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5}):(\\d{1,5}):(\\d{1,5}):(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return CropWindow{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                      m.captured(4).toInt()};
}

CropWindow fitCrop(const CropWindow& crop, int width, int height) {
    const auto fitSide = [](int side, int offset, int whole, int* fittedOffset) {
        int fitted = std::max(2, evenDown(side));
        int at = std::max(0, offset);
        if (whole >= 2) {
            fitted = std::min(fitted, evenDown(whole));
            at = std::min(at, whole - fitted);
        }
        *fittedOffset = at;
        return fitted;
    };
    CropWindow fitted;
    fitted.width = fitSide(crop.width, crop.x, width, &fitted.x);
    fitted.height = fitSide(crop.height, crop.y, height, &fitted.y);
    return fitted;
}

std::optional<QString> readPictureOptions(const OptionSheet& sheet, PictureOptions* out) {
    PictureOptions p;
    const auto value = [&sheet](const QString& caption) {
        return sheet.value(opt::Video, caption).value_or(QString()).trimmed();
    };
    const QString quality = value(opt::Quality);
    if (!quality.isEmpty() && quality != choice::Auto) {
        const std::optional<QualityScale> scale = qualityScale(value(opt::VideoCodec));
        bool ok = false;
        const int q = quality.toInt(&ok);
        if (scale && (!ok || q < scale->lowest || q > scale->highest))
            return QCoreApplication::translate(
                       "PictureFilters", "Quality takes a whole number from %1 (best) to %2: ")
                       .arg(scale->lowest)
                       .arg(scale->highest) +
                   quality;
        if (ok && scale)
            p.quality = q;
    }
    const QString crop = value(opt::Crop);
    if (crop == choice::Automatic) {
        p.crop = CropMode::Automatic;
    } else if (!crop.isEmpty() && crop != choice::None) {
        const std::optional<CropWindow> window = parseCropWindow(crop);
        if (!window)
            return QCoreApplication::translate(
                       "PictureFilters",
                       "Crop is not None, Automatic or a window such as 1920:800:0:140: ") +
                   crop;
        p.crop = CropMode::Manual;
        p.cropWindow = *window;
    }
    const QString deinterlace = value(opt::Deinterlace);
    p.deinterlace = deinterlace == choice::On          ? DeinterlaceMode::On
                    : deinterlace == choice::Automatic ? DeinterlaceMode::Automatic
                                                       : DeinterlaceMode::Off;
    const QString denoise = value(opt::Denoise);
    p.denoise = denoise == choice::Light    ? DenoiseLevel::Light
                : denoise == choice::Medium ? DenoiseLevel::Medium
                : denoise == choice::Strong ? DenoiseLevel::Strong
                                            : DenoiseLevel::Off;
    const int rotate = value(opt::Rotate).toInt();
    p.rotate = rotate == 90 || rotate == 180 || rotate == 270 ? rotate : 0;
    const QString flip = value(opt::Flip);
    p.flip = flip == choice::Horizontal ? FlipMode::Horizontal
             : flip == choice::Vertical ? FlipMode::Vertical
                                        : FlipMode::None;
    p.squarePixels = value(opt::SquarePixels) == choice::Yes;
    p.twoPass = value(opt::TwoPass) == choice::Yes;
    *out = p;
    return std::nullopt;
}

namespace {
// The most kbit/s an H.264 picture of up to that many lines may take at a constant quality,
// and what the other encoders may take in per cent of it.
struct CapLine {
    int shorterSide;
    int h264;
    int h265;
    int vp9;
    int av1;
};
constexpr CapLine kCaps[] = {
    {240, 700, 500, 500, 400},          {360, 1500, 1000, 1000, 800},
    {480, 2500, 1700, 1700, 1400},      {576, 3000, 2000, 2000, 1700},
    {720, 6000, 4000, 4000, 3300},      {1080, 10000, 7000, 7000, 5500},
    {1440, 20000, 14000, 14000, 11000}, {1 << 30, 40000, 28000, 28000, 22000},
};
} // namespace

int rateCapKbits(const QString& videoCodec, int shorterSide) {
    const int side = shorterSide > 0 ? shorterSide : 1080;
    for (const CapLine& line : kCaps) {
        if (side > line.shorterSide)
            continue;
        if (videoCodec == QLatin1String("H.265"))
            return line.h265;
        if (videoCodec == QLatin1String("VP9"))
            return line.vp9;
        if (videoCodec == QLatin1String("AV1"))
            return line.av1;
        return line.h264;
    }
    return 0; // not reached: the last line takes every size
}

namespace {
// The crop the options and findings ask for, fitted to the picture; nothing for none.
std::optional<CropWindow> chosenCrop(const PictureOptions& picture, const PictureFacts& facts,
                                     QStringList* notes) {
    if (picture.crop == CropMode::Manual) {
        const CropWindow fitted = fitCrop(picture.cropWindow, facts.width, facts.height);
        if (notes && !(fitted == picture.cropWindow))
            *notes << QCoreApplication::translate(
                          "PictureFilters",
                          "Crop %1 corrected to %2 (even sides inside the picture).")
                          .arg(QStringLiteral("%1:%2:%3:%4")
                                   .arg(picture.cropWindow.width)
                                   .arg(picture.cropWindow.height)
                                   .arg(picture.cropWindow.x)
                                   .arg(picture.cropWindow.y),
                               QStringLiteral("%1:%2:%3:%4")
                                   .arg(fitted.width)
                                   .arg(fitted.height)
                                   .arg(fitted.x)
                                   .arg(fitted.y));
        return fitted;
    }
    if (picture.crop == CropMode::Automatic && facts.detectedCrop) {
        // Found in the picture as decoded (a phone's turn applied): fitted to even sides only.
        const CropWindow fitted = fitCrop(*facts.detectedCrop, 0, 0);
        const auto whole = [&](int w, int h) {
            return fitted.x == 0 && fitted.y == 0 && fitted.width >= evenDown(w) &&
                   fitted.height >= evenDown(h);
        };
        // Bars found nowhere: nothing to cut.
        if (whole(facts.width, facts.height) || whole(facts.height, facts.width))
            return std::nullopt;
        return fitted;
    }
    return std::nullopt;
}
} // namespace

QStringList leadingPictureFilters(const PictureOptions& picture, const PictureFacts& facts,
                                  QStringList* notes) {
    QStringList filters;
    // Both fields become pictures of their own (send_frame keeps the rate); "interlaced" only
    // touches pictures flagged so, for a source not yet looked at.
    const bool deinterlace =
        picture.deinterlace == DeinterlaceMode::On ||
        (picture.deinterlace == DeinterlaceMode::Automatic && facts.interlaced.value_or(false));
    if (deinterlace)
        filters << QStringLiteral("bwdif=mode=send_frame:parity=auto:deint=all");
    else if (picture.deinterlace == DeinterlaceMode::Automatic && !facts.interlaced)
        filters << QStringLiteral("bwdif=mode=send_frame:parity=auto:deint=interlaced");
    if (const std::optional<CropWindow> crop = chosenCrop(picture, facts, notes))
        filters << QStringLiteral("crop=%1:%2:%3:%4")
                       .arg(crop->width)
                       .arg(crop->height)
                       .arg(crop->x)
                       .arg(crop->y);
    switch (picture.denoise) {
    case DenoiseLevel::Light:
        filters << QStringLiteral("hqdn3d=2:1.5:3:2.25");
        break;
    case DenoiseLevel::Medium:
        filters << QStringLiteral("hqdn3d=4:3:6:4.5");
        break;
    case DenoiseLevel::Strong:
        filters << QStringLiteral("hqdn3d=8:6:12:9");
        break;
    case DenoiseLevel::Off:
        break;
    }
    if (picture.rotate == 90)
        filters << QStringLiteral("transpose=clock");
    else if (picture.rotate == 180)
        filters << QStringLiteral("hflip,vflip");
    else if (picture.rotate == 270)
        filters << QStringLiteral("transpose=cclock");
    if (picture.flip == FlipMode::Horizontal)
        filters << QStringLiteral("hflip");
    else if (picture.flip == FlipMode::Vertical)
        filters << QStringLiteral("vflip");
    return filters;
}

QString sameSizeChain(bool squarePixels) {
    return squarePixels ? QStringLiteral("scale=trunc(iw*sar/2)*2:trunc(ih/2)*2,setsar=1")
                        : QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2");
}

int outputShorterSide(int width, int height, const PictureOptions& picture,
                      const PictureFacts& facts) {
    if (width > 0 && height > 0)
        return std::min(width, height);
    if (facts.width <= 0 || facts.height <= 0)
        return 0;
    double w = facts.width;
    int h = facts.height;
    if (const std::optional<CropWindow> crop = chosenCrop(picture, facts, nullptr)) {
        w = crop->width;
        h = crop->height;
    }
    if (picture.squarePixels && facts.sampleAspect > 0)
        w *= facts.sampleAspect;
    return std::min(static_cast<int>(w), h);
}

QStringList cappedQualityArguments(const QString& videoCodec, int quality, int capKbits) {
    const QString q = QString::number(quality);
    const QString cap = QString::number(capKbits) + QLatin1Char('k');
    if (videoCodec == QLatin1String("VP9"))
        return {QStringLiteral("-crf"), q, QStringLiteral("-b:v"), cap};
    if (videoCodec == QLatin1String("AV1"))
        return {QStringLiteral("-crf"), q, QStringLiteral("-svtav1-params"),
                QStringLiteral("mbr=%1").arg(capKbits)};
    return {QStringLiteral("-crf"),     q,
            QStringLiteral("-maxrate"), cap,
            QStringLiteral("-bufsize"), QString::number(capKbits * 2) + QLatin1Char('k')};
}

} // namespace clipvane
