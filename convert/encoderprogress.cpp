#include "convert/encoderprogress.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace clipvane {

std::optional<double> lastReportedTime(const QByteArray& logText) {
    static const QRegularExpression time(
        QStringLiteral("time=\\s*(-?)([0-9]+):([0-9]{2}):([0-9]{2}(?:\\.[0-9]+)?)"));
    const QString text = QString::fromUtf8(logText);
    std::optional<double> last;
    auto it = time.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty())
            continue; // FFmpeg reports negative times before the first frame
        last = m.captured(2).toDouble() * 3600 + m.captured(3).toDouble() * 60 +
               m.captured(4).toDouble();
    }
    return last;
}

int trackProgressFor(double reportedSeconds, qint64 clipSeconds) {
    if (clipSeconds <= 0)
        return 10;
    const double percent = reportedSeconds / static_cast<double>(clipSeconds) * 100.0;
    return static_cast<int>(std::clamp(std::floor(percent), 10.0, 99.0));
}

QString lastLogLines(const QByteArray& logText, int lines) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    QStringList all = QString::fromUtf8(logText).split(lineEnd, Qt::SkipEmptyParts);
    QStringList kept;
    for (auto it = all.crbegin(); it != all.crend() && kept.size() < lines; ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty())
            kept.prepend(line);
    }
    return kept.join(QLatin1Char('\n'));
}

QByteArray readFileTail(const QString& path, qint64 maxBytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = f.size();
    if (size > maxBytes)
        f.seek(size - maxBytes);
    return f.read(maxBytes);
}

} // namespace clipvane
