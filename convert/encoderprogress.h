#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace clipvane {

// The last "time=H:MM:SS.cc" the encoder reported in its log text, in seconds.
std::optional<double> lastReportedTime(const QByteArray& logText);

// The current-item bar while the encoder runs: at least 10, the reported time against the
// clip's length, held below 100 until the encoder ends.
int trackProgressFor(double reportedSeconds, qint64 clipSeconds);

// The last few non-empty lines of a log, for telling the user why an item failed.
QString lastLogLines(const QByteArray& logText, int lines = 4);

// Reads at most the last maxBytes of a file.
QByteArray readFileTail(const QString& path, qint64 maxBytes);

} // namespace clipvane
