#include "app/settingsdialog.h"

#include "app/desktop.h"
#include "app/skin.h"
#include "base/messageboxes.h"
#include "settings/preferences.h"
#include "ui_settingsdialog.h"

#include <QCoreApplication>
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
    : QDialog(parent), m_ui(std::make_unique<Ui::SettingsDialog>()),
      m_picker(picker ? std::move(picker) : FolderPicker(pickFolder)), m_messages(messages) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    if (!m_messages) {
        m_ownMessages = std::make_unique<QtMessageBoxes>(this);
        m_messages = m_ownMessages.get();
    }
    connect(m_ui->okButton, &QPushButton::clicked, this, &SettingsDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &SettingsDialog::reject);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &SettingsDialog::browseOutputFolder);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::loadSettings() {
    const BatchChoices c = Preferences().batchChoices();
    m_ui->outputFolderEdit->setText(c.outputFolder);
    m_ui->inOutputFolderRadio->setChecked(!c.nextToSource);
    m_ui->nextToSourceRadio->setChecked(c.nextToSource);
    m_ui->keepExistingRadio->setChecked(!c.overwrite);
    m_ui->overwriteRadio->setChecked(c.overwrite);
    m_ui->autoShutdownCheck->setChecked(c.autoShut);
    m_ui->qualityScoreCheck->setChecked(c.scoreQuality);
    m_ui->threadsEdit->setText(c.threads);
    m_ui->parallelSpin->setMaximum(Preferences::maxParallel());
    m_ui->parallelSpin->setValue(c.parallel);
}

void SettingsDialog::accept() {
    BatchChoices c;
    c.outputFolder = m_ui->outputFolderEdit->text();
    c.nextToSource = m_ui->nextToSourceRadio->isChecked();
    c.overwrite = !m_ui->keepExistingRadio->isChecked();
    c.autoShut = m_ui->autoShutdownCheck->isChecked();
    c.scoreQuality = m_ui->qualityScoreCheck->isChecked();
    c.threads = m_ui->threadsEdit->text();
    c.parallel = m_ui->parallelSpin->value();
    const Preferences preferences;
    switch (preferences.saveBatchChoices(c)) {
    case Preferences::SaveResult::ThreadRefused:
        m_messages->error(QCoreApplication::translate("Preferences", Preferences::kThreadError));
        m_ui->threadsEdit->setFocus();
        return;
    case Preferences::SaveResult::WriteFailed:
        // The dialog stays open: the user can try again or leave with Cancel.
        m_messages->error(tr("The settings could not be saved to %1.")
                              .arg(QDir::toNativeSeparators(preferences.filePath())));
        return;
    case Preferences::SaveResult::Saved:
        break;
    }
    QDialog::accept();
}

void SettingsDialog::browseOutputFolder() {
    if (const std::optional<QString> folder =
            m_picker(this, m_ui->outputFolderEdit->text().trimmed()))
        m_ui->outputFolderEdit->setText(*folder);
}

} // namespace clipvane
