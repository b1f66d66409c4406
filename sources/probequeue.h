#pragma once

#include "sources/fileprobe.h"
#include "sources/sourcelist.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>

namespace clipvane {

// How many files are examined at once when several are added: one per processor core.
int probeParallelism();

// Writes a parse result into a row the way the probe does.
void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result);
// Writes what a probe learned into its row: the one place a probe writes into the list.
void writeProbeOutcome(SourceList& list, SourceList::Id id, const ProbeOutcome& outcome);

// Appends a row for a file that cannot be converted, with the note saying why; it is not
// probed.
SourceList::Id appendRefused(SourceList& list, const QString& path, const QString& note);

// The files being examined for a list. add() appends their rows at once and returns; the
// probes (FileProbe) run up to parallel() at a time, in the order added, and each row fills in
// as its own probe ends. Writes go by row id: a row removed (or the list cleared) takes no
// writes, and its probe, if running, is ended at once; if still waiting, it never starts.
//
// From the first add until every probe has ended the queue holds one pending probe of the list
// (SourceList::beginProbe), so a batch started meanwhile waits for the files; drained() then
// comes, once for each such stretch of work. Nothing waits: the event loop runs the probes.
// The list must outlive the queue.
class ProbeQueue : public QObject {
    Q_OBJECT
public:
    explicit ProbeQueue(SourceList& list, QObject* parent = nullptr);
    // Ends the probes under way; their rows keep what they had.
    ~ProbeQueue() override;

    // How many probes run at once (at least one); probeParallelism() unless set.
    void setParallel(int count);
    int parallel() const { return m_parallel; }

    // Appends a row for each file, in the order given, and queues the files' probes, each
    // with timeoutMs from its own start. Returns the new rows' ids.
    QList<SourceList::Id> add(const QStringList& paths, int timeoutMs = kProbeTimeoutMs);
    SourceList::Id add(const QString& path, int timeoutMs = kProbeTimeoutMs);

    int runningCount() const { return static_cast<int>(m_running.size()); }
    int waitingCount() const { return static_cast<int>(m_waiting.size()); }
    bool isIdle() const { return m_running.isEmpty() && m_waiting.empty(); }

signals:
    // A probe has ended and its row holds what it learned (not for a row that has gone).
    void rowProbed(quint64 id);
    // The last probe under way has ended and none waits.
    void drained();

private:
    struct Waiting {
        SourceList::Id id;
        QString path;
        int timeoutMs;
    };
    void startMore();
    void probeEnded(SourceList::Id id, const ProbeOutcome& outcome);
    void forgetRemovedRows();
    void drainIfIdle();

    QPointer<SourceList> m_list;
    int m_parallel;
    std::deque<Waiting> m_waiting;
    QHash<SourceList::Id, FileProbe*> m_running; // children of the queue
    bool m_holdsList = false;                    // one of the list's pending probes is ours
};

} // namespace clipvane
