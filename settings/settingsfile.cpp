#include "settings/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace clipvane {
namespace {

struct ParsedFile {
    QStringList lines;
    QString newline = QStringLiteral("\n");
    bool endsWithNewline = true;
};

// Loads the file as lines. Returns false for a file that cannot be a settings file.
bool loadLines(const QString& filePath, ParsedFile& out) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxSettingsFileSize)
        return false;
    const QByteArray bytes = file.read(kMaxSettingsFileSize + 1);
    if (bytes.size() > kMaxSettingsFileSize || bytes.contains('\0'))
        return false;
    const QString text = QString::fromUtf8(bytes);
    if (text.contains(QStringLiteral("\r\n")))
        out.newline = QStringLiteral("\r\n");
    out.endsWithNewline = text.isEmpty() || text.endsWith(QLatin1Char('\n'));
    out.lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        out.lines.removeLast();
    for (QString& line : out.lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return true;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

// Whether the line is a "[section]" line, and its name.
bool sectionLine(const QString& line, QString& name) {
    const QString t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    name = trimBlanks(close < 0 ? t.mid(1) : t.mid(1, close - 1));
    return true;
}

// Splits a "key=value" line; returns false for lines without "=".
bool splitKeyLine(const QString& line, QString& key, QString& value) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = trimBlanks(line.left(eq));
    value = line.mid(eq + 1);
    return true;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Location {
    qsizetype sectionLine = -1; // index of the "[section]" line
    qsizetype sectionEnd = -1;  // index after the section's last non-blank line
    qsizetype keyLine = -1;
};

Location locate(const QStringList& lines, const QString& section, const QString& key) {
    Location loc;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString name;
        if (sectionLine(lines.at(i), name)) {
            if (inSection)
                break; // only the first section of that name counts
            inSection = sameName(name, section);
            if (inSection) {
                loc.sectionLine = i;
                loc.sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!trimBlanks(lines.at(i)).isEmpty())
            loc.sectionEnd = i + 1;
        QString k, v;
        if (loc.keyLine < 0 && splitKeyLine(lines.at(i), k, v) && sameName(k, key))
            loc.keyLine = i;
    }
    return loc;
}

QString storedValue(const QString& raw) {
    QString v = trimBlanks(raw);
    if (v.size() >= 2) {
        const QChar first = v.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

} // namespace

QString readSetting(const QString& filePath, const QString& section, const QString& key) {
    ParsedFile file;
    if (!loadLines(filePath, file))
        return QString();
    const Location loc = locate(file.lines, section, key);
    if (loc.keyLine < 0)
        return QString();
    QString k, raw;
    splitKeyLine(file.lines.at(loc.keyLine), k, raw);
    QString value = storedValue(raw);
    // Only the space character is trimmed here; tabs inside the quotes stay.
    qsizetype b = 0;
    qsizetype e = value.size();
    while (b < e && value.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && value.at(e - 1) == QLatin1Char(' '))
        --e;
    return value.mid(b, e - b);
}

bool writeSetting(const QString& filePath, const QString& section, const QString& key,
                  const QString& value) {
    ParsedFile file;
    if (QFileInfo::exists(filePath) && !loadLines(filePath, file)) {
        // An unreadable or garbage file is replaced rather than patched.
        file = ParsedFile{};
    }
    QString safeValue = value;
    safeValue.replace(QLatin1String("\r\n"), QLatin1String(" "));
    safeValue.replace(QLatin1Char('\r'), QLatin1Char(' '));
    safeValue.replace(QLatin1Char('\n'), QLatin1Char(' '));

    const Location loc = locate(file.lines, section, key);
    if (loc.keyLine >= 0) {
        QString oldKey, oldValue;
        splitKeyLine(file.lines.at(loc.keyLine), oldKey, oldValue);
        file.lines[loc.keyLine] = oldKey + QLatin1Char('=') + safeValue;
    } else if (loc.sectionLine >= 0) {
        file.lines.insert(loc.sectionEnd, key + QLatin1Char('=') + safeValue);
    } else {
        file.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        file.lines.append(key + QLatin1Char('=') + safeValue);
    }

    QString text = file.lines.join(file.newline);
    text += file.newline;
    QSaveFile out(filePath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace clipvane
