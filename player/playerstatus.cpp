#include "player/playerstatus.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace clipvane {
namespace {

std::optional<PlayerReport> reportOf(const QByteArray& record) {
    const QString text = QString::fromLatin1(record).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.contains(QLatin1String("=====  PAUSE  =====")))
        return PlayerReport{PlayerReport::Paused, 0};
    if (text.startsWith(QLatin1String("Exiting...")))
        return PlayerReport{PlayerReport::Ended, 0};
    // The picture's time when there is a picture, else the sound's.
    static const QRegularExpression video(
        QStringLiteral("(?:^|\\s)V:\\s*(-?[0-9]+(?:\\.[0-9]+)?)"));
    static const QRegularExpression audio(QStringLiteral("^A:\\s*(-?[0-9]+(?:\\.[0-9]+)?)"));
    QRegularExpressionMatch m = video.match(text);
    if (!m.hasMatch())
        m = audio.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return PlayerReport{PlayerReport::Position, std::max(0.0, m.captured(1).toDouble())};
}

} // namespace

QList<PlayerReport> PlayerStatusReader::read(QByteArrayView piece) {
    QList<PlayerReport> reports;
    for (const char c : piece) {
        if (c != '\r' && c != '\n') {
            if (m_record.size() < kMaxRecord)
                m_record += c;
            continue;
        }
        if (const std::optional<PlayerReport> report = reportOf(m_record))
            reports.append(*report);
        m_record.clear();
    }
    return reports;
}

} // namespace clipvane
