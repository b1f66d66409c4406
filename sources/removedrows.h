#pragma once

#include "sources/sourcelist.h"

#include <QList>
#include <vector>

namespace clipvane {

// Rows taken out of the list by Remove or Clear All, kept so that Undo can put them back as
// they were: the same ids, clips, notes and per-row choices, each where it stood. Each removal
// is one step; the last few steps are kept.
class RemovedRows {
public:
    static constexpr int kKeptSteps = 20;

    // Takes the rows at these positions out of the list, as one step.
    void remove(SourceList& list, QList<int> rows);
    // Takes every row out, as one step.
    void removeAll(SourceList& list);
    bool canUndo() const { return !m_steps.empty(); }
    // Puts the last step's rows back (each at its old place, or at the end when the list has
    // become shorter) and returns their ids; nothing when there is nothing to undo.
    QList<SourceList::Id> undo(SourceList& list);

private:
    struct Removed {
        int row = 0;
        SourceList::Item item;
    };
    std::vector<std::vector<Removed>> m_steps;
};

} // namespace clipvane
