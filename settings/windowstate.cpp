#include "settings/windowstate.h"

#include "settings/settingsfile.h"

#include <QStringList>
#include <algorithm>

namespace clipvane {
namespace {

constexpr const char* kGeometry = "geometry";
constexpr const char* kMainSplitter = "mainSplitter";
constexpr const char* kRightSplitter = "rightSplitter";
constexpr const char* kColumns = "columns";
// A column narrower or wider than this was not set by a person.
constexpr int kMinColumn = 8;
constexpr int kMaxColumn = 4000;

QString valueOf(const QList<SettingsEntry>& entries, const char* key) {
    for (const auto& [k, v] : entries) {
        if (k.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return v;
    }
    return QString();
}

QByteArray blob(const QList<SettingsEntry>& entries, const char* key) {
    const auto decoded = QByteArray::fromBase64Encoding(valueOf(entries, key).toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

QList<int> widths(const QList<SettingsEntry>& entries) {
    const QString text = valueOf(entries, kColumns);
    QList<int> out;
    if (text.isEmpty())
        return out;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int w = part.trimmed().toInt(&ok);
        if (!ok || w < kMinColumn || w > kMaxColumn)
            return {}; // a spoilt list is no list
        out.append(w);
    }
    return out;
}

} // namespace

WindowState WindowState::read(const QString& filePath) {
    const QList<SettingsEntry> entries = readSection(filePath, QLatin1String(kSection));
    WindowState s;
    s.geometry = blob(entries, kGeometry);
    s.mainSplitter = blob(entries, kMainSplitter);
    s.rightSplitter = blob(entries, kRightSplitter);
    s.columnWidths = widths(entries);
    return s;
}

bool WindowState::write(const QString& filePath) const {
    QStringList columns;
    for (int w : columnWidths)
        columns.append(QString::number(w));
    return writeSettings(
        filePath, QLatin1String(kSection),
        {{QLatin1String(kGeometry), QString::fromLatin1(geometry.toBase64())},
         {QLatin1String(kMainSplitter), QString::fromLatin1(mainSplitter.toBase64())},
         {QLatin1String(kRightSplitter), QString::fromLatin1(rightSplitter.toBase64())},
         {QLatin1String(kColumns), columns.join(QLatin1Char(','))}});
}

QRect fitOnScreen(const QRect& frame, const QRect& available) {
    if (!available.isValid())
        return frame;
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(),
                               available.left() + available.width() - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), available.top(),
                              available.top() + available.height() - fitted.height()));
    return fitted;
}

} // namespace clipvane
