#pragma once

#include <QString>
#include <QStringList>

namespace clipvane {

// The open-file dialog's answer split into its folder (ending in "/") and the chosen names,
// in the dialog's order.
struct ChosenFiles {
    QString folder;
    QStringList names;
};

// Splits the full paths an open-file dialog returned. An empty answer (a cancelled dialog)
// gives no names. A root folder is "/" (never "//").
ChosenFiles splitChosenPaths(const QStringList& selectedPaths);

// The dialog's title and its filter entries, as (description, patterns) pairs in order.
inline constexpr const char* kOpenVideoTitle = "Open Video File";
struct FilterEntry {
    QString description;
    QString patterns; // "*.avi;*.wmv"
};
const QList<FilterEntry>& openDialogFilters();
// The same entries as name filters for a Qt file dialog: the description exactly as listed,
// then the patterns in the trailing "(...)" Qt reads them from, blank-separated
// ("Windows Media files (*.avi;*.wmv;*.wma;*.asf) (*.avi *.wmv *.wma *.asf)"). A dialog with
// QFileDialog::HideNameFilterDetails drops that last group and shows the description alone.
// "*.*" becomes "*", so names without a dot are listed under "All files (*.*)" too.
QStringList openDialogNameFilters();
// The folder the open dialog starts in: startFolder when it names an existing folder,
// otherwise the home folder.
QString openDialogStartFolder(const QString& startFolder);

// Whether a dropped path ends in one of the accepted video endings (compared on the last
// characters, upper-cased, no dot required).
bool matchesDropEnding(const QString& path);

} // namespace clipvane
