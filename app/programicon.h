#pragma once

#include <QIcon>

namespace clipvane {

// The program's picture.
QIcon programIcon();
// Makes the program's picture the icon of every window; call once the application exists.
void installProgramIcon();

} // namespace clipvane
