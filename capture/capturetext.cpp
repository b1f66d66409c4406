#include "capture/capturetext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace clipvane {

QString FrameRate::text() const {
    if (!isValid())
        return {};
    if (frames % seconds == 0)
        return QString::number(frames / seconds);
    // 29.97, 7.5: two decimals at most, no trailing zeros, always a point.
    QString shown = QString::number(perSecond(), 'f', 2);
    while (shown.endsWith(u'0'))
        shown.chop(1);
    if (shown.endsWith(u'.'))
        shown.chop(1);
    return shown;
}

QString FrameRate::ffmpegText() const {
    if (!isValid())
        return {};
    if (seconds == 1)
        return QString::number(frames);
    return QStringLiteral("%1/%2").arg(frames).arg(seconds);
}

QString sizeText(const QSize& size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

QString rateText(const FrameRate& rate) {
    return QCoreApplication::translate("CaptureText", "%1 fps").arg(rate.text());
}

QString noDeviceText() {
    return QCoreApplication::translate(
        "CaptureText",
        "No camera or capture card was found. Connect one and open this window again.");
}

QString statisticsLine(const CaptureStatistics& statistics, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return QCoreApplication::translate("CaptureText", "%1 frames (%2 dropped) - %3 sec.")
        .arg(statistics.frames)
        .arg(statistics.dropped)
        .arg(plain.toString(static_cast<double>(statistics.milliseconds) / 1000.0, 'f', 2));
}

QString defaultCaptureFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("dvcapture.avi"));
}

QString nextFreeFileName(const QString& path) {
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return path;
    const QFileInfo info(path);
    QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    qint64 number = 2;
    static const QRegularExpression numbered(QStringLiteral("^(.*) \\((\\d{1,9})\\)$"));
    if (const auto m = numbered.match(stem); m.hasMatch()) {
        stem = m.captured(1);
        number = m.captured(2).toLongLong() + 1;
    }
    const QDir folder = info.dir();
    for (;; ++number) {
        const QString candidate =
            folder.filePath(QStringLiteral("%1 (%2)%3").arg(stem).arg(number).arg(suffix));
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

} // namespace clipvane
