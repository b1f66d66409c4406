#include "sources/picturelook.h"

#include "process/commandline.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace clipvane {

QList<double> pictureLookPoints(double seconds) {
    // A short file is looked at whole, from its start.
    if (seconds < 6)
        return {0};
    return {seconds * 0.1, seconds * 0.5, seconds * 0.85};
}

QString pictureLookCommandLine(const QString& ffmpeg, const QString& filePath, double seconds) {
    const QList<double> points = pictureLookPoints(seconds);
    QString line = quoteArgument(ffmpeg) + QStringLiteral(" -nostdin -hide_banner -nostats");
    QString inputs;
    for (qsizetype i = 0; i < points.size(); ++i) {
        line += points.size() == 1
                    ? QStringLiteral(" -t 3")
                    : QStringLiteral(" -ss %1 -t 1").arg(QString::number(points.at(i), 'f', 2));
        line += QStringLiteral(" -i ") + quoteArgument(filePath);
        inputs += QStringLiteral("[%1:v:0]").arg(i);
    }
    // Extents kept over every picture (reset=0), and even sides.
    line += QStringLiteral(" -filter_complex %1concat=n=%2:v=1:a=0,idet,"
                           "cropdetect=limit=24:round=2:reset=0 -an -sn -dn -f null -")
                .arg(inputs)
                .arg(points.size());
    return line;
}

PictureLook parsePictureLook(const QString& messages) {
    PictureLook look;
    static const QRegularExpression crop(QStringLiteral("crop=(\\d+):(\\d+):(\\d+):(\\d+)"));
    static const QRegularExpression frame(
        QStringLiteral("Video: wrapped_avframe\\b[^\\n]*?, (\\d+)x(\\d+)"));
    static const QRegularExpression fields(QStringLiteral(
        "Multi frame detection: TFF:\\s*(\\d+)\\s+BFF:\\s*(\\d+)\\s+Progressive:\\s*(\\d+)"));
    int frameWidth = 0;
    int frameHeight = 0;
    if (const QRegularExpressionMatch m = frame.match(messages); m.hasMatch()) {
        frameWidth = m.captured(1).toInt();
        frameHeight = m.captured(2).toInt();
    }
    CropWindow last;
    bool found = false;
    for (auto it = crop.globalMatch(messages); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        last = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                m.captured(4).toInt()};
        found = true;
    }
    // Bars only when they leave a smaller picture of some size.
    if (found && frameWidth > 0 && last.width >= 2 && last.height >= 2 &&
        (last.width < frameWidth || last.height < frameHeight))
        look.crop = last;
    if (found && frameWidth > 0 && !look.crop)
        look.crop = CropWindow{frameWidth, frameHeight, 0, 0};
    // FFmpeg builds the graph anew when the pictures' kind changes, and each idet reports
    // what it saw: the counts add up.
    int combed = 0;
    int progressive = 0;
    bool counted = false;
    for (auto it = fields.globalMatch(messages); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        combed += m.captured(1).toInt() + m.captured(2).toInt();
        progressive += m.captured(3).toInt();
        counted = true;
    }
    // A third of the pictures combed or more (telecined film combs two in five).
    if (counted)
        look.interlaced = combed >= 4 && combed * 2 >= progressive;
    return look;
}

QString pictureFactsText(const PictureFacts& facts) {
    QStringList parts;
    if (facts.width > 0 && facts.height > 0)
        parts << QStringLiteral("%1x%2").arg(facts.width).arg(facts.height);
    if (facts.detectedCrop) {
        const CropWindow& c = *facts.detectedCrop;
        if (c.x == 0 && c.y == 0 && (facts.width == 0 || c.width == facts.width) &&
            (facts.height == 0 || c.height == facts.height))
            parts << QCoreApplication::translate("MediaProbe", "no black bars");
        else
            parts << QCoreApplication::translate("MediaProbe", "black bars: picture %1")
                         .arg(QStringLiteral("%1:%2:%3:%4")
                                  .arg(c.width)
                                  .arg(c.height)
                                  .arg(c.x)
                                  .arg(c.y));
    }
    if (facts.interlaced)
        parts << (*facts.interlaced ? QCoreApplication::translate("MediaProbe", "interlaced")
                                    : QCoreApplication::translate("MediaProbe", "progressive"));
    return parts.join(QStringLiteral(" \u00b7 "));
}

} // namespace clipvane
