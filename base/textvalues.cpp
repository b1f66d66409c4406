#include "base/textvalues.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace clipvane {

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    bool digits = false;
    bool point = false;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

std::optional<double> strictNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[ \\t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)[ \\t]*$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

qint64 roundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    // nearbyint honours the current rounding mode, which the program never changes from
    // round-to-nearest-even.
    const double rounded = std::nearbyint(value);
    // 2^63 is exact in a double; casting it or anything beyond would be undefined.
    constexpr double limit = 9223372036854775808.0;
    if (rounded >= limit)
        return std::numeric_limits<qint64>::max();
    if (rounded < -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(rounded);
}

QString timeText(qint64 seconds) {
    if (seconds < 0)
        seconds = 0;
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(h)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

QString clipTimeText(qint64 centiseconds) {
    if (centiseconds < 0)
        centiseconds = 0;
    const QString whole = timeText(centiseconds / 100);
    if (centiseconds % 100 == 0)
        return whole;
    return whole + QStringLiteral(".%1").arg(centiseconds % 100, 2, 10, QLatin1Char('0'));
}

std::optional<qint64> parseClipTime(const QString& text) {
    static const QRegularExpression time(
        QStringLiteral("^\\s*([0-9]{1,9}:[0-9]{1,2}(?::[0-9]{1,2})?)(?:\\.([0-9]{1,2}))?\\s*$"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const std::optional<qint64> seconds = parseTimeText(m.captured(1));
    if (!seconds)
        return std::nullopt;
    // ".5" is five tenths.
    const QString fraction = m.captured(2).leftJustified(2, QLatin1Char('0'));
    return *seconds * 100 + fraction.toLongLong();
}

QString secondsText(qint64 centiseconds) {
    if (centiseconds % 100 == 0)
        return QString::number(centiseconds / 100);
    QString text = QStringLiteral("%1.%2")
                       .arg(centiseconds / 100)
                       .arg(std::abs(centiseconds % 100), 2, 10, QLatin1Char('0'));
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text;
}

std::optional<qint64> parseTimeText(const QString& text) {
    static const QRegularExpression time(
        QStringLiteral("^\\s*([0-9]{1,9}):([0-9]{1,2})(?::([0-9]{1,2}))?\\s*$"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const qint64 hours = m.captured(1).toLongLong();
    const qint64 minutes = m.captured(2).toLongLong();
    const qint64 secs = m.capturedLength(3) > 0 ? m.captured(3).toLongLong() : 0;
    if (minutes > 59 || secs > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + secs;
}

std::optional<qint64> shownLength(double seconds) {
    constexpr double limit = 1e12;
    if (!(seconds > 0)) // NaN too
        return std::nullopt;
    if (seconds >= limit)
        return static_cast<qint64>(limit) * 100;
    if (seconds < 0.5)
        return std::max<qint64>(1, roundHalfEven(seconds * 100));
    return roundHalfEven(seconds) * 100;
}

QString lengthText(double seconds) {
    const std::optional<qint64> shown = shownLength(seconds);
    return shown ? clipTimeText(*shown) : QString();
}

QString fromWindows1252(QByteArrayView bytes) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = b >= 0x80 && b < 0xA0 ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return text;
}

} // namespace clipvane
