#include "process/toollog.h"

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

QString errorLines(const QByteArray& logText, int maxLines) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    static const QRegularExpression telling(
        QStringLiteral("error|not support|unsupported|not compatible|invalid|no such file|"
                       "permission denied|too long|no space|read-only|could not|cannot|"
                       "unable to|failed"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList kept;
    for (const QString& raw : QString::fromUtf8(logText).split(lineEnd, Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        // Progress lines are not reasons, whatever words their file names hold.
        if (line.isEmpty() || line.startsWith(QLatin1String("frame=")) ||
            line.startsWith(QLatin1String("size=")) || !telling.match(line).hasMatch())
            continue;
        kept.removeAll(line);
        kept.append(line);
    }
    if (kept.isEmpty())
        return lastLogLines(logText);
    return kept.mid(std::max<qsizetype>(0, kept.size() - maxLines)).join(QLatin1Char('\n'));
}

QString writeErrorLine(const QByteArray& logText) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    // FFmpeg's own lines (a muxer's may carry its "[flv @ 0x...]" prefix): a file name in an
    // "Input #0" line is not one of them.
    static const QRegularExpression writeError(
        QStringLiteral("^(\\[[^\\]]*\\] )?(Error writing trailer|Error closing file|"
                       "av_interleaved_write_frame\\(\\):)|: No space left on device$"));
    for (const QString& raw : QString::fromUtf8(logText).split(lineEnd, Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        if (writeError.match(line).hasMatch())
            return line;
    }
    return {};
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
