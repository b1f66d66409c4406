#pragma once

#include "sources/sourcelist.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace clipvane {

// The queue file: the source list kept on disk beside settings.dat (queue.json), so that it
// outlives the window, a crash and a kill. It is JSON, always written whole through a
// QSaveFile (a reader sees the old file or the new one, never half of one):
//
//   {"format": "clipvane-queue", "version": 1, "queue": "<this queue's id>",
//    "rows": [ {record}, ... ]}
//
// One record per row, an object holding the row's id (a number that never changes and is
// never reused) and, each optional, the keys below. A reader takes the keys it knows and
// keeps every other key of a record as it was, so a newer program's additions survive an
// older one; new per-row data is a new key. The version changes only when a key changes its
// meaning, and a reader refuses a version it does not know.
//
//   "id": 7, "file": "/videos/a.avi",
//   "start": 100, "end": 1250, "length": 3000      the clip and the length, in hundredths
//   "size": "640x480", "format": "MPEG-4", "status": "OK", "note": "…",
//   "output": "/out/a.mp4", "log": "/cache/clipvane/encoder-1-1-1.log",
//   "seconds": 30.04, "frameRate": 25, "aspect": 1.333, "soundless": false,
//   "profile": {"caption": "MP4 Video H.264 + AAC(*.mp4)",
//               "options": {"Video Options/Video Size": "1280x720", …}},
//   "streams": {…}, "tracks": {…}   the file's tracks and the user's choice of them
//                                   (see convert/queuestreams.h)
//   "score": {"ssim": 0.987, "psnr": 41.2}   how the output compares with its source
//                                            (psnr null: the frames compared were the same)
//   "estimate": {"bytes": 41300000, "basis": "samples"}   the output's expected size ("rates":
//                                            from fixed rates, "target": the Target Size)
//   "underWay": {…}   the item being converted (see HandedOverItem), with "finisher" and
//                     "finisherStart" once it was handed to a finisher
//
// A finisher never writes this file. It records what became of each item it was handed in
// a file of its own in the outcome folder beside it, also through a QSaveFile:
//
//   queue-outcomes/<queue id>-<row id>.json
//   {"format": "clipvane-outcome", "version": 1, "queue": "<id>", "row": 7,
//    "status": "OK", "note": "", "output": "/out/a.mp4", "log": "…"}
//
// The window that keeps the queue takes these in (at its start, and while it waits for a
// finisher), writes the queue file with them, and only then removes them. No two processes
// ever write the same file, so no record can be lost to a race, and taking an outcome in
// twice changes nothing.

inline constexpr const char* kQueueFormat = "clipvane-queue";
inline constexpr const char* kOutcomeFormat = "clipvane-outcome";
inline constexpr int kQueueVersion = 1;

// The queue file beside a settings file, and the folder its outcomes go to.
QString queueFileBeside(const QString& settingsFile);
QString outcomeFolderOf(const QString& queueFile);

// A queue file as read: its id and its records (each an object with a usable id and file).
struct QueueContents {
    QString queueId;
    QList<QJsonObject> records;
    int badRecords = 0; // records that could not be read and were left out
};
// Reads a queue file's text: the contents, or why it is not a queue file this program can
// read (damaged, another format, an unknown version).
std::optional<QueueContents> parseQueue(const QByteArray& text, QString* problem);
QByteArray queueText(const QString& queueId, const QList<QJsonObject>& records);

// The record of a row as it is now; extra keys (kept from the file) come first and the
// row's own keys over them.
QJsonObject rowRecord(const SourceList& list, SourceList::Id id, const QJsonObject& extra = {});
// The row a record describes (its status, note and everything else as recorded), and in
// *extra the keys this program does not know.
SourceList::Item itemFromRecord(const QJsonObject& record, QJsonObject* extra = nullptr);

// What became of an item a finisher was handed.
struct ItemOutcome {
    SourceList::Id row = 0;
    QString status; // "OK", "Fail" or "Cancel"
    QString note;
    QString output;
    QString log;
};
// Writes an outcome file; false when it could not be written.
bool writeOutcome(const QString& folder, const QString& queueId, const ItemOutcome& outcome);
struct OutcomeFile {
    QString path;
    QString queueId;
    std::optional<ItemOutcome> outcome; // nothing: not an outcome this program can read
};
QList<OutcomeFile> readOutcomes(const QString& folder);

// Renames a file that cannot be used to "<name>-<what>-<yyyyMMdd-HHmmss>.<suffix>" beside it
// (a number added should that be taken); the new path, or empty when it could not be moved.
QString setAside(const QString& path, const QString& what);

} // namespace clipvane
