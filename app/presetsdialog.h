#pragma once

#include "app/presetfiles.h"
#include "options/presets.h"

#include <QDialog>
#include <QList>
#include <memory>

class QListWidgetItem;

namespace Ui {
class PresetsDialog;
}

namespace clipvane {

// "Manage Presets": the user's presets, to rename (in place, or with Rename) and delete, and to
// export to a file or import from one. Renames and deletions are written to settings.dat on
// OK, all of them or none; Cancel leaves every preset as it was. Export and Import work on the
// presets as saved, so they save the changes made so far first (as OK would). A name that is
// empty or already another preset's is refused as it is typed.
class PresetsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PresetsDialog(const QList<Preset>& presets, QWidget* parent = nullptr,
                           const PresetFileDialogs& files = {}, MessageBoxes* messages = nullptr);
    ~PresetsDialog() override;

    Ui::PresetsDialog* ui() const { return m_ui.get(); }
    // Whether settings.dat was written while the dialog was open (an import, or the changes
    // saved before an export or import), so that the picker must be filled again even after
    // Cancel.
    bool presetsWritten() const { return m_written; }

public slots:
    // OK: writes the renames and deletions; when that fails the dialog says so and stays open.
    void accept() override;
    void renameSelected();
    void deleteSelected();
    void exportPresets();
    void importPresets();

private:
    void onItemChanged(QListWidgetItem* item);
    void showSelected();
    void fill(const QList<Preset>& presets);
    // Writes the renames and deletions made so far; false (and said) when that failed.
    bool saveChanges();

    std::unique_ptr<Ui::PresetsDialog> m_ui;
    PresetFileDialogs m_files;
    MessageBoxes* m_messages;
    QList<Preset> m_presets;
    QList<int> m_removed;
    bool m_filling = false;
    bool m_written = false;
};

} // namespace clipvane
