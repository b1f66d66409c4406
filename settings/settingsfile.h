#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace clipvane {

// Reads and writes settings.dat, a small initialisation file: "[section]" lines and
// "key=value" lines. Section and key names match without regard to case.
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
// kMaxSettingsFileSize) is never replaced: the write fails. Line breaks and NUL
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

// The value as it must be written for readSetting to give it back: in double quotes when the
// reader would otherwise change it (a value in quotes of its own, a tab at an end). Spaces at
// the ends are never kept.
QString quotedWhereNeeded(const QString& value);

// Why the settings file cannot be read at all (not a file, no permission, a read error), or
// an empty text when it can be (or when there is none).
QString settingsFileProblem(const QString& filePath);

// The largest file read whole, and loaded and patched by a write; of a larger one only the
// first lines are read, and a write fails.
inline constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;
inline constexpr qint64 kMaxWritableSettingsFileSize = kMaxSettingsFileSize;

} // namespace clipvane
