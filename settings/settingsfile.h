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

// Creates the file, section and key as needed and replaces an existing value in place,
// keeping every other line as it was. The file is replaced atomically, so a failed write
// leaves the previous file untouched. Line breaks inside the value are stored as blanks so
// that a value can never add a key or a section. Returns whether the write succeeded; the
// program's callers ignore a failure.
bool writeSetting(const QString& filePath, const QString& section, const QString& key,
                  const QString& value);

// Files larger than this are not settings files and read as empty.
inline constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;

} // namespace clipvane
