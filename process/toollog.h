#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace clipvane {

// Reading what a tool wrote to its log file while it runs and after it has ended.

// The last "time=H:MM:SS.cc" the tool reported in its log text, in seconds.
std::optional<double> lastReportedTime(const QByteArray& logText);

// The last few non-empty lines of a log.
QString lastLogLines(const QByteArray& logText, int lines = 4);

// The lines of a log that state what went wrong (errors, refusals, missing or forbidden
// files), oldest first, without repeats and at most maxLines of them; the last lines of the
// log when none does.
QString errorLines(const QByteArray& logText, int maxLines = 6);

// The first line of a log that says the output could not be written (a full disk, a trailer
// that could not be written, a file that could not be closed), or an empty text. FFmpeg can
// exit 0 after such an error at the very end of its file.
QString writeErrorLine(const QByteArray& logText);

// How many times the encoder's log says a packet of the source could not be decoded or a
// picture came out damaged ("Error while decoding stream", "corrupt decoded frame", and the
// repeats FFmpeg folds into "Last message repeated N times"). Only FFmpeg's own lines after the
// output's description count, so no file name can add to them.
int decodingErrorCount(const QByteArray& logText);
// The same for a log file, read line by line however long it is.
int decodingErrorCountInFile(const QString& path);

// Reads at most the last maxBytes of a file.
QByteArray readFileTail(const QString& path, qint64 maxBytes);

} // namespace clipvane
