#include "sources/removedrows.h"

#include <algorithm>

namespace clipvane {

void RemovedRows::remove(SourceList& list, QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<Removed> step;
    for (int row : std::as_const(rows)) {
        if (row >= 0 && row < list.count())
            step.push_back({row, list.itemAt(row)});
    }
    if (step.empty())
        return;
    // From the bottom up, so the positions above stay true.
    for (auto it = step.crbegin(); it != step.crend(); ++it)
        list.removeAt(it->row);
    m_steps.push_back(std::move(step));
    if (m_steps.size() > static_cast<size_t>(kKeptSteps))
        m_steps.erase(m_steps.begin());
}

void RemovedRows::removeAll(SourceList& list) {
    std::vector<Removed> step;
    for (int row = 0; row < list.count(); ++row)
        step.push_back({row, list.itemAt(row)});
    if (step.empty())
        return;
    list.clearAll();
    m_steps.push_back(std::move(step));
    if (m_steps.size() > static_cast<size_t>(kKeptSteps))
        m_steps.erase(m_steps.begin());
}

QList<SourceList::Id> RemovedRows::undo(SourceList& list) {
    QList<SourceList::Id> back;
    if (m_steps.empty())
        return back;
    std::vector<Removed> step = std::move(m_steps.back());
    m_steps.pop_back();
    // From the top down: each row goes back where it stood, above the rows that were below it.
    for (Removed& removed : step) {
        if (const SourceList::Id id = list.insertItem(removed.row, std::move(removed.item)))
            back.append(id);
    }
    return back;
}

} // namespace clipvane
