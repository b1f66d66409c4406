#pragma once

#include <QtGlobal>

class QWidget;

namespace clipvane {

// Applies skins/frmmain.skn from the program folder (a Qt style sheet) to a window. A missing
// or unreadable skin leaves the plain look.
void applySkin(QWidget* window);

// Makes a widget a player's video surface: a black native window of its own (and only its
// own: native ancestors would show black wherever a dialog had been), whose window id the
// player draws into. Returns that id.
qint64 makeVideoSurface(QWidget* surface);

} // namespace clipvane
