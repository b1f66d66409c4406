#pragma once

class QWidget;

namespace clipvane {

// Applies skins/frmmain.skn from the program folder (a Qt style sheet) to a window. A missing
// or unreadable skin leaves the plain look.
void applySkin(QWidget* window);

} // namespace clipvane
