#pragma once

#include "settings/windowstate.h"

class QHeaderView;
class QSplitter;
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

// The dividers and the widths of the columns, once the window shows and its panes have their
// sizes. False when no dividers were kept (the window then lays them out itself).
bool restorePanes(const WindowParts& parts, const WindowState& state);

} // namespace clipvane
