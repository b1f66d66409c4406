#pragma once

#include "sources/sourcelist.h"

#include <QString>
#include <optional>

namespace clipvane {

// The player tool's identify command for one file. appPathSlash is the program folder
// ending in "/"; the tool path is quoted only when the folder holds blanks or quotes.
QString identifyCommandLine(const QString& appPathSlash, const QString& filePath);

// What the identify output says about a file.
struct IdentifyResult {
    std::optional<QString> length; // H:MM:SS, from the last ID_LENGTH line
    std::optional<QString> format; // from the last ID_VIDEO_FORMAT line
    qint64 width = 0;
    qint64 height = 0;
    // False when a width or height line could not be read as a number: the probe stops
    // there and leaves Start and Size unwritten.
    bool complete = true;
};

// Reads identify output: one KEY=VALUE per line, lines ending in CR LF, LF or CR. Keys are
// exact; a value is cut at its first "="; the last occurrence of a key wins. A fractional
// length is rounded up to the next whole second, so no clip end cuts off the file's tail.
IdentifyResult parseIdentifyOutput(const QString& output);

// Writes a parse result into a row the way the probe does.
void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result);

// How long a probe may take before it is given up (a pipe or a stalled network file would
// otherwise keep the add waiting for ever); the row then shows a failed probe.
inline constexpr int kProbeTimeoutMs = 60000;

// Appends a row for the file and probes it with the player tool, waiting (in a nested event
// loop) until the tool ends. Writes only into the row it created; if that row is removed
// during the wait, the results are dropped. Returns the new row's id.
SourceList::Id addvideofile(SourceList& list, const QString& path, int timeoutMs = kProbeTimeoutMs);

} // namespace clipvane
