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

namespace {
// Counts decoding errors line by line.
class DecodingErrorCounter {
public:
    void line(const QByteArray& raw) {
        const QByteArray line = raw.trimmed();
        if (!m_afterOutput) {
            m_afterOutput = line.startsWith("Output #0") || line.startsWith("Stream mapping:");
            return;
        }
        static const QRegularExpression repeated(
            QStringLiteral("^Last message repeated (\\d+) times?$"));
        if (m_lastCounted && line.startsWith("Last message repeated")) {
            const QRegularExpressionMatch m = repeated.match(QString::fromLatin1(line));
            if (m.hasMatch())
                m_count += std::min(m.captured(1).toInt(), 1000000);
            return;
        }
        static const QRegularExpression corrupt(
            QStringLiteral(": corrupt decoded frame in stream \\d+$"));
        m_lastCounted = line.startsWith("Error while decoding stream #") ||
                        (line.contains("corrupt decoded frame") &&
                         corrupt.match(QString::fromUtf8(line)).hasMatch());
        if (m_lastCounted)
            ++m_count;
    }
    int count() const { return m_count; }

private:
    bool m_afterOutput = false;
    bool m_lastCounted = false;
    int m_count = 0;
};
} // namespace

int decodingErrorCount(const QByteArray& logText) {
    DecodingErrorCounter counter;
    for (const QByteArray& line : logText.split('\n'))
        for (const QByteArray& piece : line.split('\r'))
            counter.line(piece);
    return counter.count();
}

int decodingErrorCountInFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    DecodingErrorCounter counter;
    // Progress reports end in CR alone: a "line" may hold many; the counted lines end in LF.
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(64 * 1024);
        for (const QByteArray& piece : line.split('\r'))
            counter.line(piece);
    }
    return counter.count();
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
