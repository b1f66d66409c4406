#include "sources/probequeue.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace clipvane {

int probeParallelism() {
    return std::max(1, QThread::idealThreadCount());
}

void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result) {
    std::optional<qint64> end = list.clipEnd(id);
    if (result.length) {
        end = result.length;
        list.setLength(id, result.length);
    }
    if (result.format)
        list.setText(id, SourceList::Format, *result.format);
    list.setPictureAspect(id, result.pictureAspect);
    list.setSoundless(id, result.soundless);
    if (!result.complete) {
        list.setClip(id, list.clipStart(id), end);
        return;
    }
    list.setClip(id, 0, end);
    list.setText(id, SourceList::Size,
                 result.soundOnly ? QCoreApplication::translate("MediaProbe", "sound only")
                                  : QStringLiteral("%1x%2").arg(result.width).arg(result.height));
}

void writeProbeOutcome(SourceList& list, SourceList::Id id, const ProbeOutcome& outcome) {
    applyIdentifyResult(list, id, outcome.identify);
    list.setMediaFacts(id, MediaFacts{outcome.seconds, outcome.identify.frameRate});
    list.setStreamFacts(id, outcome.streams);
    if (!outcome.note.isEmpty())
        list.setNote(id, outcome.note);
}

SourceList::Id appendRefused(SourceList& list, const QString& path, const QString& note) {
    const SourceList::Id id = list.append(path);
    writeProbeOutcome(list, id, ProbeOutcome{IdentifyResult(), 0, note, StreamFacts()});
    return id;
}

ProbeQueue::ProbeQueue(SourceList& list, QObject* parent)
    : QObject(parent), m_list(&list), m_parallel(probeParallelism()) {
    // A row removed, or the list cleared, during its probe: the probe ends at once.
    connect(&list, &SourceList::rowsRemoved, this, &ProbeQueue::forgetRemovedRows);
    connect(&list, &SourceList::modelReset, this, &ProbeQueue::forgetRemovedRows);
}

ProbeQueue::~ProbeQueue() {
    // The probes (children) go with the queue, and their tools with them.
    m_waiting.clear();
    if (m_holdsList && m_list)
        m_list->endProbe();
}

void ProbeQueue::setParallel(int count) {
    m_parallel = std::max(count, 1);
    startMore();
}

QList<SourceList::Id> ProbeQueue::add(const QStringList& paths, int timeoutMs) {
    QList<SourceList::Id> ids;
    if (!m_list)
        return ids;
    ids.reserve(paths.size());
    for (const QString& path : paths) {
        ids.append(m_list->append(path));
        m_waiting.push_back({ids.last(), path, timeoutMs});
    }
    if (!m_waiting.empty() && !m_holdsList) {
        m_holdsList = true;
        m_list->beginProbe();
    }
    startMore();
    return ids;
}

SourceList::Id ProbeQueue::add(const QString& path, int timeoutMs) {
    return add(QStringList{path}, timeoutMs).value(0);
}

void ProbeQueue::startMore() {
    while (runningCount() < m_parallel && !m_waiting.empty()) {
        const Waiting next = m_waiting.front();
        m_waiting.pop_front();
        if (!m_list || !m_list->contains(next.id))
            continue; // removed while waiting its turn
        const SourceList::Id id = next.id;
        auto* probe = new FileProbe(
            next.path, next.timeoutMs,
            [this, id](const ProbeOutcome& outcome) { probeEnded(id, outcome); }, this);
        m_running.insert(id, probe);
        probe->start();
    }
}

void ProbeQueue::probeEnded(SourceList::Id id, const ProbeOutcome& outcome) {
    if (FileProbe* probe = m_running.take(id))
        probe->deleteLater(); // it is still on the stack
    // The list may have changed meanwhile; writes by id reach only this row.
    if (m_list && m_list->contains(id)) {
        writeProbeOutcome(*m_list, id, outcome);
        emit rowProbed(id);
    }
    startMore();
    drainIfIdle();
}

void ProbeQueue::forgetRemovedRows() {
    std::erase_if(m_waiting, [this](const Waiting& w) { return !m_list->contains(w.id); });
    for (auto it = m_running.cbegin(); it != m_running.cend(); ++it) {
        if (!m_list->contains(it.key()))
            it.value()->stop(); // it ends from the event loop; its row takes nothing
    }
    drainIfIdle();
}

void ProbeQueue::drainIfIdle() {
    if (!isIdle() || !m_holdsList)
        return;
    m_holdsList = false;
    if (m_list)
        m_list->endProbe();
    emit drained();
}

} // namespace clipvane
