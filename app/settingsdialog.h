#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class SettingsDialog;
}

namespace clipvane {

class MessageBoxes;

// Asks the user for a folder, starting at startFolder; nothing when the user cancels.
using FolderPicker =
    std::function<std::optional<QString>(QWidget* parent, const QString& startFolder)>;

// Qt's own folder dialog, titled "Clipvane", that offers only folders.
std::optional<QString> pickFolder(QWidget* parent, const QString& startFolder);

// The settings dialog "Video Options": output folder, what to do with an existing output,
// shutdown after a batch, and the encoder's thread count. Each opening reads settings.dat
// afresh (Form_Load); only OK writes it. Without a picker it uses pickFolder, without message
// boxes real ones over the dialog.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr, FolderPicker picker = {},
                            MessageBoxes* messages = nullptr);
    ~SettingsDialog() override;

    void Form_Load();
    void Command1_Click(); // OK
    void Command2_Click(); // Cancel
    void Command4_Click(); // Browse...

    Ui::SettingsDialog* form() const { return ui.get(); }

protected:
    // Escape and the close box leave as Cancel does.
    void reject() override;

private:
    std::unique_ptr<Ui::SettingsDialog> ui;
    FolderPicker m_picker;
    std::unique_ptr<MessageBoxes> m_ownMessages;
    MessageBoxes* m_messages;
};

} // namespace clipvane
