#pragma once

#include "options/presets.h"

#include <QDialog>
#include <QList>
#include <memory>

namespace Ui {
class SavePresetDialog;
}

namespace clipvane {

// "Save as Preset": asks for the name the profile and the options are saved under. A name of
// one of the user's presets replaces it, which the dialog says before OK; an empty name
// cannot be saved.
class SavePresetDialog : public QDialog {
    Q_OBJECT
public:
    SavePresetDialog(const QList<Preset>& presets, const QString& profileCaption,
                     const QString& suggestedName, QWidget* parent = nullptr);
    ~SavePresetDialog() override;

    // The name as the preset will keep it.
    QString name() const;
    Ui::SavePresetDialog* ui() const { return m_ui.get(); }

private:
    void showNote();

    std::unique_ptr<Ui::SavePresetDialog> m_ui;
    QList<Preset> m_presets;
    QString m_profileCaption;
};

} // namespace clipvane
