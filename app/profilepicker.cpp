#include "app/profilepicker.h"

#include "base/apppaths.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "settings/preferences.h"

#include <QComboBox>
#include <QStandardItemModel>

namespace clipvane {
namespace {

constexpr int kProfileRole = Qt::UserRole + 1;
constexpr int kPresetRole = Qt::UserRole + 2;

bool hasOptionRows(int profileIndex) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    return profileIndex >= 1 && profileIndex <= catalogue.size() &&
           !catalogue.at(profileIndex - 1).isHeading;
}

} // namespace

ProfilePicker::ProfilePicker(QComboBox* combo, OptionSheet* sheet, const QList<QIcon>& headingIcons,
                             QObject* parent)
    : QObject(parent), m_combo(combo), m_sheet(sheet), m_headingIcons(headingIcons) {}

void ProfilePicker::fill() {
    m_combo->clear();
    // Each heading has a picture of its own.
    qsizetype heading = 0;
    const auto nextHeadingIcon = [&] {
        return m_headingIcons.value(std::min(heading++, m_headingIcons.size() - 1));
    };
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        const ProfileEntry& entry = catalogue.at(i);
        m_combo->addItem(entry.isHeading ? nextHeadingIcon() : QIcon(),
                         shownProfileCaption(entry.caption));
        m_combo->setItemData(int(i), int(i) + 1, kProfileRole);
    }
    m_presets = PresetStore(settingsFilePath()).load();
    if (m_presets.isEmpty())
        return;
    auto* model = qobject_cast<QStandardItemModel*>(m_combo->model());
    heading = m_headingIcons.size() - 1; // "My Presets" has the last picture
    m_combo->addItem(nextHeadingIcon(), tr(kPresetsHeading));
    if (model) // a heading of the list, never a pick
        model->item(m_combo->count() - 1)->setFlags(Qt::NoItemFlags);
    for (const Preset& p : std::as_const(m_presets)) {
        const int row = m_combo->count();
        if (p.isUsable()) {
            m_combo->addItem(p.name);
        } else {
            m_combo->addItem(p.name + tr(" (its profile no longer exists)"));
            m_combo->setItemData(row, p.problem(), Qt::ToolTipRole);
            if (model)
                model->item(row)->setFlags(Qt::NoItemFlags);
        }
        m_combo->setItemData(row, p.profileIndex, kProfileRole);
        m_combo->setItemData(row, p.number, kPresetRole);
    }
}

int ProfilePicker::rowOfPreset(int number) const {
    return number > 0 ? m_combo->findData(number, kPresetRole) : -1;
}

void ProfilePicker::selectStored() {
    // A first start (nothing stored) picks a profile that works for everyone.
    const int index = startProfileIndex(Preferences().profile());
    m_combo->setCurrentIndex(index - 1);
    const Preset* preset = nullptr;
    const int picked = PresetStore(settingsFilePath()).picked();
    for (const Preset& p : std::as_const(m_presets)) {
        if (p.number == picked)
            preset = &p;
    }
    // The "profile" setting has the last word: another program may have changed it since.
    if (preset && preset->isUsable() && preset->profileIndex == index)
        m_combo->setCurrentIndex(rowOfPreset(picked));
}

int ProfilePicker::profileIndex() const {
    return m_combo->currentData(kProfileRole).toInt();
}

int ProfilePicker::presetNumber() const {
    return m_combo->currentData(kPresetRole).toInt();
}

const Preset* ProfilePicker::pickedPreset() const {
    const int number = presetNumber();
    for (const Preset& p : m_presets) {
        if (number > 0 && p.number == number)
            return &p;
    }
    return nullptr;
}

bool ProfilePicker::hasProfile() const {
    return pickedPreset() ? pickedPreset()->isUsable() : hasOptionRows(profileIndex());
}

void ProfilePicker::applyPick() {
    const OptionMemory memory(settingsFilePath());
    if (m_shownPreset == 0 && hasOptionRows(m_shownProfile))
        memory.remember(m_shownProfile, *m_sheet);
    m_shownProfile = profileIndex();
    m_shownPreset = 0;
    if (const Preset* preset = pickedPreset()) {
        applyPreset(*m_sheet, *preset);
        m_shownPreset = preset->number;
    } else {
        applyProfilePick(*m_sheet, m_shownProfile);
        memory.recall(m_shownProfile, *m_sheet);
    }
    emit pickChanged();
}

void ProfilePicker::store() {
    if (m_combo->currentIndex() < 0)
        return; // nothing picked: the stored pick stays
    const QString file = settingsFilePath();
    Preferences(file).setProfile(profileIndex());
    const PresetStore presets(file);
    if (presetNumber() != 0 || presets.picked() != 0)
        presets.setPicked(presetNumber());
    if (m_shownPreset == 0 && hasOptionRows(m_shownProfile))
        OptionMemory(file).remember(m_shownProfile, *m_sheet);
}

void ProfilePicker::resetToProfile() {
    if (const Preset* preset = pickedPreset())
        applyPreset(*m_sheet, *preset);
    else if (hasOptionRows(profileIndex()))
        clipvane::resetToProfile(*m_sheet, profileIndex());
}

bool ProfilePicker::saveAsPreset(const QString& name) {
    if (!hasProfile())
        return false;
    const QString file = settingsFilePath();
    const int number = PresetStore(file).save(name, profileIndex(), *m_sheet);
    if (number == 0)
        return false;
    // The sheet leaves its profile for the preset: the profile remembers it, as on any pick.
    if (m_shownPreset == 0 && hasOptionRows(m_shownProfile))
        OptionMemory(file).remember(m_shownProfile, *m_sheet);
    fill();
    m_combo->setCurrentIndex(rowOfPreset(number));
    m_shownProfile = profileIndex();
    m_shownPreset = number;
    emit pickChanged();
    return true;
}

void ProfilePicker::reload() {
    const int preset = presetNumber();
    const int profile = profileIndex();
    const int row = m_combo->currentIndex();
    fill();
    if (preset == 0) {
        m_combo->setCurrentIndex(row);
        return;
    }
    const int now = rowOfPreset(preset);
    if (now >= 0) { // renamed, or untouched
        m_combo->setCurrentIndex(now);
        return;
    }
    // The picked preset is gone: its profile, with the profile's own values.
    m_combo->setCurrentIndex(profile - 1);
    applyPick();
}

} // namespace clipvane
