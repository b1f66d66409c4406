#include "app/openvideodialog.h"

#include "sources/fileselect.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace clipvane {

void setUpOpenVideoDialog(QFileDialog& dialog, const QString& startFolder) {
    dialog.setWindowTitle(QCoreApplication::translate("FileSelect", kOpenVideoTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(openDialogNameFilters());
    dialog.setDirectory(openDialogStartFolder(startFolder));
}

QStringList showOpenVideoDialog(QWidget* parent, const QString& startFolder) {
    QFileDialog dialog(parent);
    setUpOpenVideoDialog(dialog, startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace clipvane
