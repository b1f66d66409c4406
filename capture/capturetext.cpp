#include "capture/capturetext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace clipvane {

QString statisticsLine(const CaptureStatistics& statistics, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return QStringLiteral("%1 frames (%2 dropped) - %3 sec.")
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
