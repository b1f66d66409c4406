#pragma once

#include <QLocale>
#include <QStringList>

namespace clipvane {

// Installs Clipvane's translation for the locale's languages (the first of its UI languages
// that Clipvane speaks) and Qt's own (standard buttons, file dialogs) into the application.
// English needs none. Returns the names of the translations installed ("clipvane_de",
// "qtbase_de"). Called again, it replaces what it installed before.
QStringList installTranslations(const QLocale& locale = QLocale::system());

} // namespace clipvane
