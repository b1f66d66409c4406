#pragma once

#include <QString>

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

// Why the settings file cannot be read at all (not a file, no permission, a read error), or
// an empty text when it can be (or when there is none).
QString settingsFileProblem(const QString& filePath);

// The largest file read whole, and loaded and patched by a write; of a larger one only the
// first lines are read, and a write fails.
inline constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;
inline constexpr qint64 kMaxWritableSettingsFileSize = kMaxSettingsFileSize;

} // namespace clipvane
