#pragma once

#include <QString>

namespace clipvane {

// The program folder: the folder of the running executable. Tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder);

// The program folder path ending in "/" (a root folder keeps its single "/").
QString programFolderWithSlash();

// Whether the program folder is this user's to write settings and outputs into: writable and
// not an installed copy (the install lays kInstalledMarker into it).
bool programFolderIsPrivate();
inline constexpr const char* kInstalledMarker = ".installed";

// settings.dat in the program folder, or in $XDG_CONFIG_HOME/clipvane/ when the program
// folder is not private (not writable, or installed system-wide).
QString settingsFilePath();

// Folder for the encoder's log files: $XDG_CACHE_HOME/clipvane (created on demand), or, when
// that cannot be written, a private folder under the temporary folder; empty when neither can.
QString cacheFolder();

// Where converted files go when no output folder is set: the program folder, or, when that
// is not writable (an installed program), the user's videos folder (else the home folder).
QString defaultOutputFolder();

} // namespace clipvane
