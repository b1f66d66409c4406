#pragma once

#include "settings/windowstate.h"

#include <QStringList>

class QHeaderView;
class QSplitter;
class QTreeView;
class QWidget;

namespace clipvane {

// The main window's layout as WindowState keeps it: the window, its two dividers and the
// video list's columns.
struct WindowParts {
    QWidget* window = nullptr;
    QSplitter* mainSplitter = nullptr;
    QSplitter* rightSplitter = nullptr;
    QHeaderView* columns = nullptr;
};

WindowState captureWindowState(const WindowParts& parts);

// Puts the window where it was left, before it shows, and on a screen: one that got smaller or
// went away since leaves it moved and shrunk to fit. False when nothing was kept.
bool restoreWindowGeometry(const WindowParts& parts, const WindowState& state);

// The dividers, once the window shows and its panes have their sizes. False when none were
// kept (the window then lays them out itself).
bool restoreSplitters(const WindowParts& parts, const WindowState& state);
// The widths of the columns the user can size; false when none were kept for this list.
bool restoreColumns(const WindowParts& parts, const WindowState& state);

// Sizes the columns the user can size to their caption or their usual text, whichever is wider
// (usualTexts by column), as the view looks now that it shows.
void fitColumns(QTreeView* view, const QStringList& usualTexts);

} // namespace clipvane
