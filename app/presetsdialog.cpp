#include "app/presetsdialog.h"

#include "app/skin.h"
#include "base/apppaths.h"
#include "options/profiles.h"
#include "ui_presetsdialog.h"

#include <QListWidgetItem>

namespace clipvane {
namespace {
constexpr int kNumberRole = Qt::UserRole + 1;
constexpr int kNameRole = Qt::UserRole + 2; // the name before this edit
} // namespace

PresetsDialog::PresetsDialog(const QList<Preset>& presets, QWidget* parent,
                             const PresetFileDialogs& files, MessageBoxes* messages)
    : QDialog(parent), m_ui(std::make_unique<Ui::PresetsDialog>()), m_files(files),
      m_messages(messages) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    fill(presets);
    connect(m_ui->exportButton, &QPushButton::clicked, this, &PresetsDialog::exportPresets);
    connect(m_ui->importButton, &QPushButton::clicked, this, &PresetsDialog::importPresets);
    connect(m_ui->presetList, &QListWidget::itemChanged, this, &PresetsDialog::onItemChanged);
    connect(m_ui->presetList, &QListWidget::currentRowChanged, this, &PresetsDialog::showSelected);
    connect(m_ui->renameButton, &QPushButton::clicked, this, &PresetsDialog::renameSelected);
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &PresetsDialog::deleteSelected);
    connect(m_ui->okButton, &QPushButton::clicked, this, &PresetsDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &PresetsDialog::reject);
    showSelected();
}

PresetsDialog::~PresetsDialog() = default;

void PresetsDialog::fill(const QList<Preset>& presets) {
    m_presets = presets;
    m_removed.clear();
    m_filling = true;
    m_ui->presetList->clear();
    for (const Preset& p : presets) {
        auto* item = new QListWidgetItem(p.name, m_ui->presetList);
        item->setData(kNumberRole, p.number);
        item->setData(kNameRole, p.name);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        if (!p.isUsable())
            item->setToolTip(p.problem());
    }
    m_filling = false;
    m_ui->presetList->setCurrentRow(0);
}

void PresetsDialog::showSelected() {
    QListWidgetItem* item = m_ui->presetList->currentItem();
    m_ui->renameButton->setEnabled(item);
    m_ui->deleteButton->setEnabled(item);
    if (!item) {
        m_ui->noteLabel->setText(m_ui->presetList->count() == 0 ? tr("You have no presets.")
                                                                : QString());
        return;
    }
    const int number = item->data(kNumberRole).toInt();
    for (const Preset& p : std::as_const(m_presets)) {
        if (p.number == number)
            m_ui->noteLabel->setText(p.isUsable()
                                         ? tr("Profile: ") + shownProfileCaption(p.profileCaption)
                                         : p.problem());
    }
}

void PresetsDialog::renameSelected() {
    if (QListWidgetItem* item = m_ui->presetList->currentItem())
        m_ui->presetList->editItem(item);
}

void PresetsDialog::deleteSelected() {
    QListWidgetItem* item = m_ui->presetList->currentItem();
    if (!item)
        return;
    m_removed.append(item->data(kNumberRole).toInt());
    delete item;
    showSelected();
}

void PresetsDialog::onItemChanged(QListWidgetItem* item) {
    if (m_filling)
        return;
    const QString before = item->data(kNameRole).toString();
    const QString name = cleanPresetName(item->text());
    QString refusal;
    if (name.isEmpty())
        refusal = tr("A preset needs a name.");
    for (int i = 0; i < m_ui->presetList->count() && refusal.isEmpty(); ++i) {
        const QListWidgetItem* other = m_ui->presetList->item(i);
        if (other != item && other->text().compare(name, Qt::CaseInsensitive) == 0)
            refusal = tr("A preset named \u201c%1\u201d already exists.").arg(name);
    }
    m_filling = true;
    item->setText(refusal.isEmpty() ? name : before);
    item->setData(kNameRole, item->text());
    m_filling = false;
    if (refusal.isEmpty())
        showSelected();
    else
        m_ui->noteLabel->setText(refusal);
}

bool PresetsDialog::saveChanges() {
    QList<std::pair<int, QString>> renames;
    bool changed = !m_removed.isEmpty();
    for (int i = 0; i < m_ui->presetList->count(); ++i) {
        const QListWidgetItem* item = m_ui->presetList->item(i);
        const int number = item->data(kNumberRole).toInt();
        renames.append({number, item->text()});
        for (const Preset& p : std::as_const(m_presets))
            changed = changed || (p.number == number && p.name != item->text());
    }
    if (!changed)
        return true;
    if (!PresetStore(settingsFilePath()).applyEdits(renames, m_removed)) {
        m_ui->noteLabel->setText(tr("The changes could not be saved to settings.dat."));
        return false;
    }
    m_written = true;
    return true;
}

void PresetsDialog::accept() {
    if (saveChanges())
        QDialog::accept();
}

void PresetsDialog::exportPresets() {
    if (!saveChanges())
        return;
    fill(PresetStore(settingsFilePath()).load());
    exportPresetFile(this, m_files, m_messages);
    showSelected();
}

void PresetsDialog::importPresets() {
    if (!saveChanges())
        return;
    m_written = importPresetFile(this, m_files, m_messages) || m_written;
    fill(PresetStore(settingsFilePath()).load());
    showSelected();
}

} // namespace clipvane
