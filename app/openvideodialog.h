#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace clipvane {

// Makes dialog the "Open Video File" dialog: one or more existing files, the filter list with
// its descriptions shown exactly as written, opening in startFolder (the home folder when that
// is empty or gone). Always Qt's own dialog: a native one (GTK's) names each filter by the text
// before its first "(", cutting "Windows Media files (*.avi;...)" short.
void setUpOpenVideoDialog(QFileDialog& dialog, const QString& startFolder);

// Shows a fresh dialog set up as above, modal over parent. Returns the chosen full paths in
// the dialog's order, or nothing when it is cancelled.
QStringList showOpenVideoDialog(QWidget* parent, const QString& startFolder);

} // namespace clipvane
