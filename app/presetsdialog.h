#pragma once

#include "options/presets.h"

#include <QDialog>
#include <QList>
#include <memory>

class QListWidgetItem;

namespace Ui {
class PresetsDialog;
}

namespace clipvane {

// "Manage Presets": the user's presets, to rename (in place, or with Rename) and delete. The
// changes are written to settings.dat on OK, all of them or none; Cancel leaves every preset
// as it was. A name that is empty or already another preset's is refused as it is typed.
class PresetsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PresetsDialog(const QList<Preset>& presets, QWidget* parent = nullptr);
    ~PresetsDialog() override;

    Ui::PresetsDialog* ui() const { return m_ui.get(); }

public slots:
    // OK: writes the renames and deletions; when that fails the dialog says so and stays open.
    void accept() override;
    void renameSelected();
    void deleteSelected();

private:
    void onItemChanged(QListWidgetItem* item);
    void showSelected();

    std::unique_ptr<Ui::PresetsDialog> m_ui;
    QList<Preset> m_presets;
    QList<int> m_removed;
    bool m_filling = false;
};

} // namespace clipvane
