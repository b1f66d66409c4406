#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace clipvane {

// What shows that a tool is getting somewhere, sampled now and then.
struct ProgressSample {
    std::optional<double> reportedSeconds; // the last time= it reported
    qint64 outputBytes = -1;               // the size of the file it writes (-1: unknown)
    qint64 bytesRead = -1; // what it has read so far, e.g. while it skips to a clip's start
};

// The size of a file, or -1 when there is none.
qint64 fileBytes(const QString& path);
// How many bytes a running process has read (its rchar in /proc), or -1 when unknown.
qint64 bytesReadBy(qint64 processId);

// When a process started (clock ticks since boot, as /proc tells), or -1 when there is no
// such process or it has ended (a zombie): with its id, it tells the process from a later
// one that was given the same id.
qint64 processStartTime(qint64 processId);

// Tells a tool that has stopped getting anywhere: how long none of the sample's signs has
// moved.
class ProgressWatch {
public:
    void restart(qint64 nowMs);
    // Takes a sample and returns for how many ms nothing in it has moved.
    qint64 stillFor(const ProgressSample& sample, qint64 nowMs);

private:
    ProgressSample m_last;
    qint64 m_movedAtMs = 0;
};

} // namespace clipvane
