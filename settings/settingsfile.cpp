#include "settings/settingsfile.h"

#include "base/textvalues.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

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

QStringView trimBlanks(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.sliced(b, e - b);
}

// Whether the line is a "[section]" line, and its name.
bool sectionLine(QStringView line, QStringView& name) {
    const QStringView t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    name = trimBlanks(close < 0 ? t.sliced(1) : t.sliced(1, close - 1));
    return true;
}

// Splits a "key=value" line; returns false for lines without "=".
bool splitKeyLine(QStringView line, QStringView& key, QStringView& value) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = trimBlanks(line.first(eq));
    value = line.sliced(eq + 1);
    return true;
}

bool sameName(QStringView a, QStringView b) {
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
        QStringView name;
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
        QStringView k, v;
        if (loc.keyLine < 0 && splitKeyLine(lines.at(i), k, v) && sameName(k, key))
            loc.keyLine = i;
    }
    return loc;
}

// The value as readers get it: blanks and one pair of enclosing quotes removed, then the
// spaces inside those quotes (tabs there stay).
QString storedValue(QStringView raw) {
    QStringView v = trimBlanks(raw);
    if (v.size() >= 2) {
        const QChar first = v.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first)
            v = v.sliced(1, v.size() - 2);
    }
    return trimSpaces(v.toString());
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
        QStringView oldKey, oldValue;
        splitKeyLine(file.text.at(loc.keyLine), oldKey, oldValue);
        const bool hadCr = file.raw.at(loc.keyLine).endsWith('\r');
        const QByteArray line = keyLine(oldKey.toString(), value);
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

// Whether every line is one a settings file holds: blank, a comment, a "[section]" line, or a
// "key=value" line within a section.
bool holdsOnlySettings(const ParsedFile& file) {
    bool inSection = false;
    for (const QString& line : file.text) {
        const QStringView t = trimBlanks(line);
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            inSection = true;
            continue;
        }
        QStringView key, value;
        if (!inSection || !splitKeyLine(t, key, value) || key.isEmpty())
            return false;
    }
    return true;
}

// The file to patch; false (why says it) when it exists but cannot be read in full, as
// replacing it would lose the other keys, or when it is a symbolic link to a file that holds
// no settings: the replacement would go through the link into that file.
bool loadForWrite(const QString& filePath, ParsedFile& file, QString* why = nullptr) {
    QByteArray bytes;
    if (loadBytes(filePath, kMaxWritableSettingsFileSize, bytes, false, why) == Load::Unusable)
        return false;
    file = splitLines(bytes);
    if (QFileInfo(filePath).isSymLink() && !holdsOnlySettings(file)) {
        if (why)
            *why = QCoreApplication::translate(
                "SettingsFile", "it is a link to a file that does not hold settings");
        return false;
    }
    return true;
}

void forgetParse(const QString& filePath);

// Writes the patched file and drops the parse kept of it: the next read reads what is there.
bool replaceFile(const QString& filePath, const ParsedFile& file) {
    const bool saved = saveFile(filePath, file);
    forgetParse(filePath);
    return saved;
}

} // namespace

// A settings file parsed for reading: its sections in file order and, by name, the keys of the
// first section of each name.
struct SettingsDocument {
    QByteArray bytes; // as read: a file whose times may hide a change is compared with them
    QString problem;  // why the file cannot be read at all
    QStringList names;
    QHash<QString, qsizetype> sectionOf; // the case-folded name's place in sections
    QList<QList<SettingsEntry>> sections;
    // The values whose lines are not UTF-8, read in Windows-1252, by eightBitKey.
    QHash<QString, QString> eightBit;

    static QString eightBitKey(const QString& section, const QString& key) {
        return section.toCaseFolded() + QChar(0) + key.toCaseFolded();
    }

    const QList<SettingsEntry>* find(const QString& section) const {
        const auto it = sectionOf.constFind(section.toCaseFolded());
        return it == sectionOf.cend() ? nullptr : &sections.at(*it);
    }
};

namespace {

// One pass over the lines: a NUL byte spoils its own line only, keys before the first section
// belong to none, and of a key written twice in a section the first line counts.
std::shared_ptr<const SettingsDocument> parseDocument(const QByteArray& bytes,
                                                      const QString& problem) {
    auto document = std::make_shared<SettingsDocument>();
    document->bytes = bytes;
    document->problem = problem;
    qsizetype current = -1; // the section being read, -1 outside the first of a name
    QSet<QString> keys;     // its keys so far, case-folded
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const char* data = bytes.constData();
    for (qsizetype start = 0, size = bytes.size(); start < size;) {
        const char* newline =
            static_cast<const char*>(std::memchr(data + start, '\n', size - start));
        const qsizetype end = newline ? newline - data : size;
        const qsizetype length = end - start;
        const char* begin = data + start;
        start = end + 1;
        if (std::memchr(begin, '\0', length))
            continue;
        const QByteArrayView bytesOfLine(begin, length);
        QString line;
        bool notUtf8 = false;
        if (std::any_of(bytesOfLine.begin(), bytesOfLine.end(), [](char c) { return c & 0x80; })) {
            utf8.resetState();
            line = utf8.decode(bytesOfLine);
            notUtf8 = utf8.hasError();
        } else {
            line = QString::fromLatin1(bytesOfLine);
        }
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        QStringView name;
        if (sectionLine(line, name)) {
            const QString folded = name.toString().toCaseFolded();
            current = -1;
            if (!document->sectionOf.contains(folded)) {
                current = document->sections.size();
                document->sectionOf.insert(folded, current);
                document->names.append(name.toString());
                document->sections.emplaceBack();
                keys.clear();
            }
            continue;
        }
        QStringView key, raw;
        if (current < 0 || !splitKeyLine(line, key, raw))
            continue;
        const QString folded = key.toString().toCaseFolded();
        if (keys.contains(folded))
            continue;
        keys.insert(folded);
        document->sections[current].append({key.toString(), storedValue(raw)});
        if (notUtf8) {
            QString old = fromWindows1252(bytesOfLine);
            if (old.endsWith(QLatin1Char('\r')))
                old.chop(1);
            QStringView oldKey, oldRaw;
            splitKeyLine(old, oldKey, oldRaw);
            document->eightBit.insert(
                SettingsDocument::eightBitKey(document->names.at(current), key.toString()),
                storedValue(oldRaw));
        }
    }
    return document;
}

// What identifies the file on disk; equal stamps with times older than kRecentChange mean
// the same bytes.
struct FileStamp {
    int error = 0; // stat's errno, 0 when it succeeded
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0;
    bool operator==(const FileStamp&) const = default;
};

qint64 nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 nowNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return nanoseconds(t);
}

FileStamp stampOf(const QString& filePath) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(filePath).constData(), &st) != 0) {
        stamp.error = errno;
        return stamp;
    }
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = nanoseconds(st.st_mtim);
    stamp.changed = nanoseconds(st.st_ctim);
    return stamp;
}

// A file changed this shortly before it was read may change again without its times showing
// it: file systems stamp with a coarse clock (a tick of the kernel, two seconds on FAT).
constexpr qint64 kRecentChange = 3'000'000'000;
// Parses kept at once; another path takes the place of the one used longest ago.
constexpr qsizetype kKeptFiles = 8;

struct KeptParse {
    FileStamp stamp;
    qint64 checkedAt = 0; // when the stamp was taken, before the file was read
    qint64 usedAt = 0;
    std::shared_ptr<const SettingsDocument> document;
};

struct ParseCache {
    QMutex mutex;
    QHash<QString, KeptParse> files;
};

ParseCache& parseCache() {
    static ParseCache cache;
    return cache;
}

std::atomic<quint64> fileReads{0};

std::shared_ptr<const SettingsDocument> documentOf(const QString& filePath) {
    ParseCache& cache = parseCache();
    const QMutexLocker lock(&cache.mutex);
    const qint64 now = nowNanoseconds();
    const FileStamp stamp = stampOf(filePath);
    const auto kept = cache.files.find(filePath);
    const bool haveKept = kept != cache.files.end();
    if (haveKept && kept->stamp == stamp &&
        (stamp.error != 0 || stamp.changed < kept->checkedAt - kRecentChange)) {
        kept->usedAt = now;
        return kept->document;
    }
    QByteArray bytes;
    QString why;
    ++fileReads;
    if (loadBytes(filePath, kMaxSettingsFileSize, bytes, true, &why) != Load::Loaded)
        bytes.clear();
    if (haveKept && kept->document->bytes == bytes && kept->document->problem == why) {
        // Unchanged after all: the parse stays, vouched for as of now.
        kept->stamp = stamp;
        kept->checkedAt = now;
        kept->usedAt = now;
        return kept->document;
    }
    if (!haveKept && cache.files.size() >= kKeptFiles) {
        const auto oldest = std::min_element(
            cache.files.cbegin(), cache.files.cend(),
            [](const KeptParse& a, const KeptParse& b) { return a.usedAt < b.usedAt; });
        cache.files.erase(oldest);
    }
    std::shared_ptr<const SettingsDocument> document = parseDocument(bytes, why);
    cache.files.insert(filePath, {stamp, now, now, document});
    return document;
}

void forgetParse(const QString& filePath) {
    ParseCache& cache = parseCache();
    const QMutexLocker lock(&cache.mutex);
    cache.files.remove(filePath);
}

} // namespace

SettingsSnapshot::SettingsSnapshot(const QString& filePath) : m_document(documentOf(filePath)) {}

QString SettingsSnapshot::value(const QString& section, const QString& key) const {
    if (const QList<SettingsEntry>* entries = m_document->find(section)) {
        for (const auto& [k, v] : *entries) {
            if (sameName(k, key))
                return v;
        }
    }
    return QString();
}

std::optional<QString> SettingsSnapshot::eightBitValue(const QString& section,
                                                       const QString& key) const {
    const auto it = m_document->eightBit.constFind(SettingsDocument::eightBitKey(section, key));
    if (it == m_document->eightBit.cend())
        return std::nullopt;
    return *it;
}

QStringList SettingsSnapshot::sectionNames() const {
    return m_document->names;
}

QList<SettingsEntry> SettingsSnapshot::section(const QString& section) const {
    const QList<SettingsEntry>* entries = m_document->find(section);
    return entries ? *entries : QList<SettingsEntry>();
}

QString SettingsSnapshot::problem() const {
    return m_document->problem;
}

quint64 settingsFileReads() {
    return fileReads.load();
}

QString readSetting(const QString& filePath, const QString& section, const QString& key) {
    return SettingsSnapshot(filePath).value(section, key);
}

QStringList readSectionNames(const QString& filePath) {
    return SettingsSnapshot(filePath).sectionNames();
}

QList<SettingsEntry> readSection(const QString& filePath, const QString& section) {
    return SettingsSnapshot(filePath).section(section);
}

QString settingsFileProblem(const QString& filePath) {
    return SettingsSnapshot(filePath).problem();
}

QString settingsWriteProblem(const QString& filePath) {
    ParsedFile file;
    QString why;
    loadForWrite(filePath, file, &why);
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
    return replaceFile(filePath, file);
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
        QStringView name;
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
    return replaceFile(filePath, file);
}

QByteArray settingsLine(const QString& key, const QString& value) {
    return keyLine(key, value);
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
