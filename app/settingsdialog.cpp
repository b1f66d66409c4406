#include "app/settingsdialog.h"

#include "app/desktop.h"
#include "app/skin.h"
#include "base/messageboxes.h"
#include "settings/preferences.h"
#include "ui_settingsdialog.h"

#include <QDir>
#include <QFileDialog>

namespace clipvane {

std::optional<QString> pickFolder(QWidget* parent, const QString& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QLatin1String(kApplicationTitle), startFolder,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

SettingsDialog::SettingsDialog(QWidget* parent, FolderPicker picker, MessageBoxes* messages)
    : QDialog(parent), ui(std::make_unique<Ui::SettingsDialog>()),
      m_picker(picker ? std::move(picker) : FolderPicker(pickFolder)), m_messages(messages) {
    ui->setupUi(this);
    setModal(true);
    if (!m_messages) {
        m_ownMessages = std::make_unique<QtMessageBoxes>(this);
        m_messages = m_ownMessages.get();
    }
    connect(ui->Command1, &QPushButton::clicked, this, &SettingsDialog::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &SettingsDialog::Command2_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &SettingsDialog::Command4_Click);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::Form_Load() {
    applySkin(this);
    const BatchChoices c = Preferences().batchChoices();
    ui->Text2->setText(c.outputFolder);
    ui->Option1->setChecked(!c.overwrite);
    ui->Option2->setChecked(c.overwrite);
    ui->Check1->setChecked(c.autoShut);
    ui->Text1->setText(c.threads);
    ui->SpinParallel->setMaximum(Preferences::maxParallel());
    ui->SpinParallel->setValue(c.parallel);
}

void SettingsDialog::Command1_Click() {
    BatchChoices c;
    c.outputFolder = ui->Text2->text();
    c.overwrite = !ui->Option1->isChecked();
    c.autoShut = ui->Check1->isChecked();
    c.threads = ui->Text1->text();
    c.parallel = ui->SpinParallel->value();
    const Preferences preferences;
    switch (preferences.saveBatchChoices(c)) {
    case Preferences::SaveResult::ThreadRefused:
        m_messages->error(QLatin1String(Preferences::kThreadError));
        ui->Text1->setFocus();
        return;
    case Preferences::SaveResult::WriteFailed:
        // The dialog stays open: the user can try again or leave with Cancel.
        m_messages->error(QStringLiteral("The settings could not be saved to %1.")
                              .arg(QDir::toNativeSeparators(preferences.filePath())));
        return;
    case Preferences::SaveResult::Saved:
        break;
    }
    accept();
}

void SettingsDialog::Command2_Click() {
    QDialog::reject();
}

void SettingsDialog::reject() {
    Command2_Click();
}

void SettingsDialog::Command4_Click() {
    if (const std::optional<QString> folder = m_picker(this, ui->Text2->text().trimmed()))
        ui->Text2->setText(*folder);
}

} // namespace clipvane
