#include "app/presetfiles.h"

#include "base/apppaths.h"
#include "base/messageboxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace clipvane {
namespace {

QString filter() {
    return QCoreApplication::translate("PresetFiles", "Clipvane presets (*%1)")
               .arg(QLatin1String(kPresetFileEnding)) +
           QStringLiteral(";;") + QCoreApplication::translate("PresetFiles", "All files (*)");
}

QString askExportFile(QWidget* parent) {
    QString file = QFileDialog::getSaveFileName(
        parent, QCoreApplication::translate("PresetFiles", "Export Presets"),
        QDir::homePath() + QLatin1Char('/') +
            QCoreApplication::translate("PresetFiles", "My presets") +
            QLatin1String(kPresetFileEnding),
        filter(), nullptr, QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty())
        file += QLatin1String(kPresetFileEnding);
    return file;
}

QString askImportFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(
        parent, QCoreApplication::translate("PresetFiles", "Import Presets"), QDir::homePath(),
        filter(), nullptr, QFileDialog::DontUseNativeDialog);
}

PresetNameClash askNameClash(QWidget* parent, const QString& name) {
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle),
                    QCoreApplication::translate("PresetFiles",
                                                "You already have a preset named \u201c%1\u201d.")
                        .arg(name),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("presetNameClashBox"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* replace = box.addButton(QCoreApplication::translate("PresetFiles", "Replace"),
                                         QMessageBox::DestructiveRole);
    QPushButton* both = box.addButton(QCoreApplication::translate("PresetFiles", "Keep Both"),
                                      QMessageBox::AcceptRole);
    QPushButton* skip =
        box.addButton(QCoreApplication::translate("PresetFiles", "Skip"), QMessageBox::RejectRole);
    box.setDefaultButton(both);
    box.setEscapeButton(skip);
    box.exec();
    if (box.clickedButton() == replace)
        return PresetNameClash::Replace;
    if (box.clickedButton() == both)
        return PresetNameClash::KeepBoth;
    return PresetNameClash::Skip;
}

} // namespace

PresetFileDialogs PresetFileDialogs::standard() {
    return {askExportFile, askImportFile, askNameClash};
}

PresetFileDialogs PresetFileDialogs::orStandard() const {
    PresetFileDialogs d = *this;
    const PresetFileDialogs s = standard();
    if (!d.exportFile)
        d.exportFile = s.exportFile;
    if (!d.importFile)
        d.importFile = s.importFile;
    if (!d.nameClash)
        d.nameClash = s.nameClash;
    return d;
}

bool exportPresetFile(QWidget* parent, const PresetFileDialogs& dialogs, MessageBoxes* messages) {
    const PresetFileDialogs ask = dialogs.orStandard();
    const PresetStore store(settingsFilePath());
    if (store.load().isEmpty()) {
        if (messages)
            messages->information(
                QCoreApplication::translate("Preset", "You have no presets to export."));
        return false;
    }
    const QString file = ask.exportFile(parent);
    if (file.isEmpty())
        return false;
    QString why;
    if (store.exportTo(file, &why))
        return true;
    if (messages)
        messages->error(
            QCoreApplication::translate("PresetFiles", "The presets could not be written to %1: %2")
                .arg(QDir::toNativeSeparators(file), why));
    return false;
}

bool importPresetFile(QWidget* parent, const PresetFileDialogs& dialogs, MessageBoxes* messages) {
    const PresetFileDialogs ask = dialogs.orStandard();
    const QString file = ask.importFile(parent);
    if (file.isEmpty())
        return false;
    const PresetImport done =
        PresetStore(settingsFilePath()).importFrom(file, [&](const QString& name) {
            return ask.nameClash(parent, name);
        });
    if (!messages)
        return !done.imported.isEmpty();
    const QString shownFile = QDir::toNativeSeparators(file);
    if (!done.problem.isEmpty()) {
        messages->error(QCoreApplication::translate("PresetFiles", "%1 cannot be read (%2).")
                            .arg(shownFile, done.problem));
        return false;
    }
    QStringList lines;
    if (!done.imported.isEmpty())
        lines << QCoreApplication::translate("PresetFiles", "Imported: %1")
                     .arg(done.imported.join(QStringLiteral(", ")));
    if (!done.skipped.isEmpty())
        lines << QCoreApplication::translate("PresetFiles", "Skipped: %1")
                     .arg(done.skipped.join(QStringLiteral("; ")));
    if (done.writeFailed)
        lines << QCoreApplication::translate("PresetFiles",
                                             "The import stopped: settings.dat cannot be written.");
    if (lines.isEmpty() && done.kept == 0)
        lines << QCoreApplication::translate("PresetFiles", "%1 holds no presets.").arg(shownFile);
    if (!lines.isEmpty()) {
        if (done.skipped.isEmpty() && !done.writeFailed && !done.imported.isEmpty())
            messages->information(lines.join(QLatin1Char('\n')));
        else
            messages->warning(lines.join(QLatin1Char('\n')));
    }
    return !done.imported.isEmpty();
}

} // namespace clipvane
