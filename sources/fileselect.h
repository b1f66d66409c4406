#pragma once

#include <QByteArray>
#include <QList>
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
inline constexpr const char* kOpenVideoTitle = QT_TRANSLATE_NOOP("FileSelect", "Open Video File");
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

// The program's command line, taken before Qt sees it (Qt would take out any file named
// like one of its options).
struct ProgramArguments {
    QList<QByteArray> forQt; // the program's name and Qt's own options ("-style X", "-reverse")
    QStringList files;       // the files named, in order
    QStringList badNames;    // names that are not valid UTF-8 (shown with replacement marks)
};
// Everything after "--" is a file, and so is any argument that names something that exists;
// other arguments starting with "-" are Qt's options (with the value of those that take one),
// the rest are files (a missing one is said to be missing).
ProgramArguments splitProgramArguments(const QList<QByteArray>& arguments);

// Whether a dropped path ends in one of the accepted endings: the long-standing video endings
// (compared on the last characters, upper-cased, no dot required), and those of the open
// dialog's first filter and of further containers and sound files (with their dot).
bool matchesDropEnding(const QString& path);

// The dropped paths that are not taken (a folder, a web address, another ending), in order.
QStringList refusedDrops(const QStringList& paths);
// The one message naming them ("Only Video files are allowed!", then the first few names).
QString refusedDropsMessage(const QStringList& refused);

} // namespace clipvane
