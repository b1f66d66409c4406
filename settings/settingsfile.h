#pragma once

#include <QString>

namespace clipvane {

// Reads and writes settings.dat, a small initialisation file: "[section]" lines and
// "key=value" lines. Section and key names match without regard to case.
//
// readSetting never fails: a missing, unreadable, binary or oversized file, a missing
// section or key all read as the empty text. Surrounding blanks and one pair of enclosing
// quotes are removed from the stored value.
QString readSetting(const QString& filePath, const QString& section, const QString& key);

// Creates the file, section and key as needed and replaces an existing value in place.
// Every other line keeps its exact bytes, even lines that are not text or make the file
// unreadable for readSetting; new lines follow the file's line ends (CRLF or LF). The file
// is replaced atomically, so a failed write leaves the previous file untouched. A file that
// cannot be read in full (not a regular file, unreadable, or larger than
// kMaxWritableSettingsFileSize) is never replaced: the write fails. Line breaks and NUL
// characters inside the value are stored as blanks so that a value can never add a key or
// a section, nor spoil the file. Returns whether the write succeeded; the program's callers
// ignore a failure.
bool writeSetting(const QString& filePath, const QString& section, const QString& key,
                  const QString& value);

// Files larger than this are not settings files and read as empty.
inline constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;
// The largest file a write will load and patch; a larger one makes the write fail.
inline constexpr qint64 kMaxWritableSettingsFileSize = 16 * 1024 * 1024;

} // namespace clipvane
