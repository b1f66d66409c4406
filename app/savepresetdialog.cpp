#include "app/savepresetdialog.h"

#include "app/skin.h"
#include "options/profiles.h"
#include "ui_savepresetdialog.h"

#include <QCompleter>
#include <QStringList>

namespace clipvane {

SavePresetDialog::SavePresetDialog(const QList<Preset>& presets, const QString& profileCaption,
                                   const QString& suggestedName, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SavePresetDialog>()), m_presets(presets),
      m_profileCaption(profileCaption) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    m_ui->nameEdit->setMaxLength(kMaxPresetNameLength);
    QStringList names;
    for (const Preset& p : presets)
        names.append(p.name);
    auto* completer = new QCompleter(names, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_ui->nameEdit->setCompleter(completer);
    m_ui->nameEdit->setText(suggestedName);
    m_ui->nameEdit->selectAll();
    connect(m_ui->nameEdit, &QLineEdit::textChanged, this, &SavePresetDialog::showNote);
    connect(m_ui->okButton, &QPushButton::clicked, this, &SavePresetDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &SavePresetDialog::reject);
    showNote();
}

SavePresetDialog::~SavePresetDialog() = default;

QString SavePresetDialog::name() const {
    return cleanPresetName(m_ui->nameEdit->text());
}

void SavePresetDialog::showNote() {
    const QString typed = name();
    m_ui->okButton->setEnabled(!typed.isEmpty());
    if (typed.isEmpty())
        m_ui->noteLabel->setText(tr("Type a name for the preset."));
    else if (const Preset* same = PresetStore::findByName(m_presets, typed))
        m_ui->noteLabel->setText(tr("Replaces your preset \u201c%1\u201d.").arg(same->name));
    else
        m_ui->noteLabel->setText(
            tr("Saves the profile \u201c%1\u201d with the options as they are now.")
                .arg(shownProfileCaption(m_profileCaption)));
}

} // namespace clipvane
