#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

namespace clipvane {

// Reads and writes settings.dat, a small initialisation file: "[section]" lines and
// "key=value" lines. Section and key names match without regard to case.
//
// The file is parsed once into its sections and every read is answered from that parse (see
// SettingsSnapshot), which is kept for the file's path for as long as the file on disk is the
// one parsed: the same device, inode, size, modification and change times. A file changed
// within the last few seconds is read again and compared byte for byte, since a change made
// within the same tick of the file system's clock can leave its times as they were. So another
// program or another instance editing the file is always seen, and so are this program's own
// writes, which drop the kept parse.
//
// readSetting never fails: a missing or unreadable file, a missing section or key all read
// as the empty text. A damaged file is read as far as it can be: a line holding a NUL byte
// holds no key nor section (the other lines read as ever), and of a file larger than
// kMaxSettingsFileSize the lines within its first kMaxSettingsFileSize bytes are read.
// Surrounding blanks and one pair of enclosing quotes are removed from the stored value.
QString readSetting(const QString& filePath, const QString& section, const QString& key);

// Creates the file, section and key as needed and replaces an existing value in place.
// Every other line keeps its exact bytes, even lines that are not text or make the file
// unreadable for readSetting; new lines follow the file's line ends (CRLF or LF). The file
// is replaced atomically, so a failed write leaves the previous file untouched. A file that
// cannot be read in full (not a regular file, unreadable, or larger than
// kMaxSettingsFileSize) is never replaced: the write fails. Nor is a symbolic link written
// through into a file that does not read as a settings file (only blank lines, comments,
// "[section]" lines and "key=value" lines within sections): link and file stay untouched and
// the write fails (settingsWriteProblem says why). A link to a settings file, as a user keeps
// one in a folder of their own, has that file replaced. Line breaks and NUL
// characters inside the value are stored as blanks so that a value can never add a key or
// a section, nor spoil the file. Returns whether the write succeeded; the program's callers
// ignore a failure.
bool writeSetting(const QString& filePath, const QString& section, const QString& key,
                  const QString& value);

// One key of a section and its value.
using SettingsEntry = std::pair<QString, QString>;

// The names of the file's sections in file order, each name once (as first spelt). Reads as
// readSetting reads: an unusable file has none.
QStringList readSectionNames(const QString& filePath);

// Every key of the first section of that name with its value as readSetting gives it, in file
// order; a key written twice counts once, as its first line says. Lines without "=" are skipped.
QList<SettingsEntry> readSection(const QString& filePath, const QString& section);

// Writes several keys of one section as writeSetting writes each, in one replacement of the
// file: either all of them are written or none.
bool writeSettings(const QString& filePath, const QString& section,
                   const QList<SettingsEntry>& entries);

// Makes the section hold exactly these keys, in this order, in one replacement of the file:
// the first section of that name is rewritten where it stands (a new one goes at the end) and
// any later section of the same name is removed with it. With no entries the section is
// removed. Every line outside those sections keeps its bytes.
bool replaceSection(const QString& filePath, const QString& section,
                    const QList<SettingsEntry>& entries);

// The line a key and its value are written as (without its line end): "key=value" in UTF-8,
// line breaks and NUL characters of the value as blanks.
QByteArray settingsLine(const QString& key, const QString& value);

// The value as it must be written for readSetting to give it back: in double quotes when the
// reader would otherwise change it (a value in quotes of its own, a tab at an end). Spaces at
// the ends are never kept.
QString quotedWhereNeeded(const QString& value);

// Why the settings file cannot be read at all (not a file, no permission, a read error), or
// an empty text when it can be (or when there is none).
QString settingsFileProblem(const QString& filePath);

// Why a write to the settings file is refused before anything is written (it cannot be read in
// full, or it is a link to a file that holds no settings), or an empty text when it is not.
QString settingsWriteProblem(const QString& filePath);

struct SettingsDocument;

// The settings file as one reading saw it: read and parsed at most once, or taken from the
// parse kept for that path when the file is unchanged. Reads as readSetting, readSectionNames
// and readSection read (they are answered from one each); a reader of many sections takes one
// and asks it for each.
class SettingsSnapshot {
public:
    explicit SettingsSnapshot(const QString& filePath);

    QString value(const QString& section, const QString& key) const;
    // The value of a key whose line is not valid UTF-8, read as Windows-1252 (the 8-bit code
    // page older settings files were written in); nothing for a line that is UTF-8 (value()
    // reads those) or a key that is not there. value() gives such a line with replacement
    // characters.
    std::optional<QString> eightBitValue(const QString& section, const QString& key) const;
    QStringList sectionNames() const;
    QList<SettingsEntry> section(const QString& section) const;
    // As settingsFileProblem says.
    QString problem() const;

private:
    std::shared_ptr<const SettingsDocument> m_document;
};

// How many times settings files were read from disk by this program; reads answered from a
// kept parse do not count.
quint64 settingsFileReads();

// The largest file read whole, and loaded and patched by a write; of a larger one only the
// first lines are read, and a write fails.
inline constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;
inline constexpr qint64 kMaxWritableSettingsFileSize = kMaxSettingsFileSize;

} // namespace clipvane
