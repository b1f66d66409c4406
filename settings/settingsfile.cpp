#include "settings/settingsfile.h"

#include "base/textvalues.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace clipvane {
namespace {

// The file as lines. raw holds each line's bytes as stored (a trailing '\r' included, the
// '\n' not); text holds the decoded line without '\r', for matching names.
struct ParsedFile {
    QList<QByteArray> raw;
    QStringList text;
    bool crlf = false;
    bool endsWithNewline = true;
};

ParsedFile splitLines(const QByteArray& bytes) {
    ParsedFile out;
    out.crlf = bytes.contains("\r\n");
    out.endsWithNewline = bytes.isEmpty() || bytes.endsWith('\n');
    if (bytes.isEmpty())
        return out;
    out.raw = bytes.split('\n');
    if (out.endsWithNewline)
        out.raw.removeLast();
    out.text.reserve(out.raw.size());
    for (const QByteArray& line : out.raw) {
        // A line holding a NUL byte is damage: it reads as a line of no key or section (a
        // lone NUL), and only it.
        QString t = line.contains('\0') ? QString(QChar(0)) : QString::fromUtf8(line);
        if (t.endsWith(QLatin1Char('\r')))
            t.chop(1);
        out.text.append(t);
    }
    return out;
}

enum class Load { Missing, Loaded, Unusable };

// Reads the whole file. One that is not a regular file or cannot be read is Unusable, and
// so is one larger than maxSize unless its start will do (firstLinesOnly): then its lines
// within the first maxSize bytes are read. why, when given, says what went wrong.
Load loadBytes(const QString& filePath, qint64 maxSize, QByteArray& bytes,
               bool firstLinesOnly = false, QString* why = nullptr) {
    const QFileInfo info(filePath);
    if (!info.exists() && !info.isSymLink())
        return Load::Missing;
    const auto unusable = [why](const QString& reason) {
        if (why)
            *why = reason;
        return Load::Unusable;
    };
    if (!info.isFile())
        return unusable(info.exists()
                            ? QCoreApplication::translate("SettingsFile", "it is not a file")
                            : QCoreApplication::translate("SettingsFile", "it is a broken link"));
    if (info.size() > maxSize && !firstLinesOnly)
        return unusable(QCoreApplication::translate("SettingsFile", "it is too large"));
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return unusable(file.errorString());
    bytes = info.size() > maxSize ? file.read(maxSize + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unusable(file.errorString());
    if (bytes.size() > maxSize) {
        if (!firstLinesOnly)
            return unusable(QCoreApplication::translate("SettingsFile", "it is too large"));
        bytes.truncate(bytes.lastIndexOf('\n', maxSize - 1) + 1);
    }
    return Load::Loaded;
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

// The line a key is written as; line breaks and NULs become blanks, so that a value can never
// add a key or a section, nor spoil the file.
QByteArray keyLine(const QString& key, const QString& value) {
    QString safeValue = value;
    safeValue.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (const QChar c : {QLatin1Char('\r'), QLatin1Char('\n'), QLatin1Char('\0')})
        safeValue.replace(c, QLatin1Char(' '));
    return (key + QLatin1Char('=') + safeValue).toUtf8();
}

QByteArray lineEnd(const ParsedFile& file) {
    return file.crlf ? QByteArrayLiteral("\r") : QByteArray();
}

void insertLines(ParsedFile& file, qsizetype at, const QList<QByteArray>& added) {
    if (at == file.raw.size())
        file.endsWithNewline = true; // the old last line needs its end now
    for (qsizetype i = 0; i < added.size(); ++i) {
        file.raw.insert(at + i, added.at(i));
        QString t = QString::fromUtf8(added.at(i));
        if (t.endsWith(QLatin1Char('\r')))
            t.chop(1);
        file.text.insert(at + i, t);
    }
}

// Sets one key in the parsed file: its line replaced in place, or added at the end of its
// section (the section added at the end of the file when there is none).
void patchKey(ParsedFile& file, const QString& section, const QString& key, const QString& value) {
    const Location loc = locate(file.text, section, key);
    if (loc.keyLine >= 0) {
        QString oldKey, oldValue;
        splitKeyLine(file.text.at(loc.keyLine), oldKey, oldValue);
        const bool hadCr = file.raw.at(loc.keyLine).endsWith('\r');
        const QByteArray line = keyLine(oldKey, value);
        file.raw[loc.keyLine] = line + (hadCr ? QByteArrayLiteral("\r") : QByteArray());
        file.text[loc.keyLine] = QString::fromUtf8(line);
        return;
    }
    QList<QByteArray> added;
    if (loc.sectionLine < 0)
        added.append((QLatin1Char('[') + section + QLatin1Char(']')).toUtf8() + lineEnd(file));
    added.append(keyLine(key, value) + lineEnd(file));
    insertLines(file, loc.sectionLine >= 0 ? loc.sectionEnd : file.raw.size(), added);
}

// Replaces the file by the parsed lines, atomically.
bool saveFile(const QString& filePath, const ParsedFile& file) {
    QByteArray out = file.raw.join('\n');
    if (file.endsWithNewline && !file.raw.isEmpty())
        out += '\n';
    QSaveFile save(filePath);
    // Unbuffered, so that a short write shows here: QSaveFile::commit() does not notice a
    // failed flush of its buffer and would put a truncated file in place.
    if (!save.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (save.write(out) != out.size()) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

// The file to patch; false when it exists but cannot be read in full: replacing it would lose
// the other keys.
bool loadForWrite(const QString& filePath, ParsedFile& file) {
    QByteArray bytes;
    if (loadBytes(filePath, kMaxWritableSettingsFileSize, bytes) == Load::Unusable)
        return false;
    file = splitLines(bytes);
    return true;
}

// The lines of a readable file, or nothing (as readSetting sees a file it cannot use).
std::optional<ParsedFile> loadForRead(const QString& filePath) {
    QByteArray bytes;
    if (loadBytes(filePath, kMaxSettingsFileSize, bytes, true) != Load::Loaded)
        return std::nullopt;
    return splitLines(bytes);
}

} // namespace

QString readSetting(const QString& filePath, const QString& section, const QString& key) {
    const std::optional<ParsedFile> file = loadForRead(filePath);
    if (!file)
        return QString();
    const Location loc = locate(file->text, section, key);
    if (loc.keyLine < 0)
        return QString();
    QString k, raw;
    splitKeyLine(file->text.at(loc.keyLine), k, raw);
    // Only the space character is trimmed here; tabs inside the quotes stay.
    return trimSpaces(storedValue(raw));
}

QString settingsFileProblem(const QString& filePath) {
    QByteArray bytes;
    QString why;
    if (loadBytes(filePath, kMaxSettingsFileSize, bytes, true, &why) != Load::Unusable)
        return {};
    return why;
}

bool writeSetting(const QString& filePath, const QString& section, const QString& key,
                  const QString& value) {
    return writeSettings(filePath, section, {{key, value}});
}

bool writeSettings(const QString& filePath, const QString& section,
                   const QList<SettingsEntry>& entries) {
    ParsedFile file;
    if (!loadForWrite(filePath, file))
        return false;
    // Only the changed or added lines are made here; all others keep their bytes.
    for (const auto& [key, value] : entries)
        patchKey(file, section, key, value);
    return saveFile(filePath, file);
}

bool replaceSection(const QString& filePath, const QString& section,
                    const QList<SettingsEntry>& entries) {
    ParsedFile file;
    if (!loadForWrite(filePath, file))
        return false;
    // Every section of that name goes; the new one takes the place of the first.
    qsizetype at = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < file.text.size();) {
        QString name;
        if (sectionLine(file.text.at(i), name))
            inSection = sameName(name, section);
        if (!inSection) {
            ++i;
            continue;
        }
        if (at < 0)
            at = i;
        if (i == file.raw.size() - 1)
            file.endsWithNewline = true; // the line before keeps the end it had
        file.raw.removeAt(i);
        file.text.removeAt(i);
    }
    if (!entries.isEmpty()) {
        QList<QByteArray> added;
        added.append((QLatin1Char('[') + section + QLatin1Char(']')).toUtf8() + lineEnd(file));
        for (const auto& [key, value] : entries)
            added.append(keyLine(key, value) + lineEnd(file));
        insertLines(file, at >= 0 ? at : file.raw.size(), added);
    }
    return saveFile(filePath, file);
}

QStringList readSectionNames(const QString& filePath) {
    QStringList names;
    const std::optional<ParsedFile> file = loadForRead(filePath);
    if (!file)
        return names;
    for (const QString& line : file->text) {
        QString name;
        if (sectionLine(line, name) && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

QList<SettingsEntry> readSection(const QString& filePath, const QString& section) {
    QList<SettingsEntry> entries;
    const std::optional<ParsedFile> file = loadForRead(filePath);
    if (!file)
        return entries;
    bool inSection = false;
    for (const QString& line : file->text) {
        QString name;
        if (sectionLine(line, name)) {
            if (inSection)
                break; // only the first section of that name counts
            inSection = sameName(name, section);
            continue;
        }
        QString key, raw;
        if (!inSection || !splitKeyLine(line, key, raw))
            continue;
        const bool seen =
            std::any_of(entries.cbegin(), entries.cend(),
                        [&](const SettingsEntry& e) { return sameName(e.first, key); });
        if (!seen)
            entries.append({key, trimSpaces(storedValue(raw))});
    }
    return entries;
}

QString quotedWhereNeeded(const QString& value) {
    if (value.isEmpty())
        return value;
    const QChar first = value.front();
    const QChar last = value.back();
    const bool quoted = value.size() >= 2 && first == last &&
                        (first == QLatin1Char('"') || first == QLatin1Char('\''));
    if (quoted || first == QLatin1Char('\t') || last == QLatin1Char('\t'))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

} // namespace clipvane
