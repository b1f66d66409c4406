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

// The settings dialog "Video Options": output folder and whether outputs go there or beside
// their sources, what to do with an existing output, shutdown after a batch, the encoder's
// thread count and how many files convert at once.
// Each opening reads settings.dat afresh (loadSettings); only OK writes it. Without a picker
// it uses pickFolder, without message boxes real ones over the dialog.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr, FolderPicker picker = {},
                            MessageBoxes* messages = nullptr);
    ~SettingsDialog() override;

    void loadSettings();

    Ui::SettingsDialog* ui() const { return m_ui.get(); }

public slots:
    // OK: a refused thread count or a failed write is said in a message, and the dialog
    // stays open; otherwise the choices are saved.
    void accept() override;
    void browseOutputFolder();

private:
    std::unique_ptr<Ui::SettingsDialog> m_ui;
    FolderPicker m_picker;
    std::unique_ptr<MessageBoxes> m_ownMessages;
    MessageBoxes* m_messages;
};

} // namespace clipvane
