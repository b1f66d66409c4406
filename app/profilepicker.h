#pragma once

#include "options/presets.h"

#include <QIcon>
#include <QList>
#include <QObject>

class QComboBox;

namespace clipvane {

class OptionSheet;

// The profile picker and what it keeps: the catalogue's entries, then under the heading
// "My Presets" the user's own presets; the sheet's values remembered per profile; the pick
// restored at the next start. The logic lives in OptionMemory and PresetStore; this class
// puts it on the combo box and the sheet.
class ProfilePicker : public QObject {
    Q_OBJECT
public:
    // headingIcons: a picture for each heading of the catalogue in turn, then one for "My
    // Presets" (the last one serves any heading beyond).
    ProfilePicker(QComboBox* combo, OptionSheet* sheet, const QList<QIcon>& headingIcons,
                  QObject* parent = nullptr);

    // Fills the picker from the catalogue and settings.dat's presets; nothing is selected.
    void fill();
    // Selects what was picked when the program last closed: the stored "profile" entry, or
    // the picked preset when it is still there, usable and of that profile. With no "profile"
    // stored (a first start), the first-start profile.
    void selectStored();
    // The pick: the sheet's values are kept for the profile it showed, then the selected entry
    // sets the sheet (a profile its pick values and remembered values, a preset its own).
    void applyPick();
    // As the program closes: the "profile" setting, the picked preset and the sheet's values
    // for the profile it shows.
    void store();

    // The catalogue entry whose output is made (a preset's profile), 0 when nothing is picked.
    int profileIndex() const;
    // The picked preset's number, 0 when a catalogue entry (or nothing) is picked.
    int presetNumber() const;
    // Whether the pick has option values of its own: a profile that is no heading, or a preset.
    bool hasProfile() const;
    const QList<Preset>& presets() const { return m_presets; }
    const Preset* pickedPreset() const;

    // "Reset to Profile": the pick values of the profile, or the picked preset as saved.
    void resetToProfile();
    // Saves the profile and sheet under a name and picks that preset; false when nothing was
    // written.
    bool saveAsPreset(const QString& name);
    // After presets were renamed or deleted: fills the picker again and keeps the pick; where
    // the picked preset has gone, its profile is picked.
    void reload();

    static constexpr const char* kPresetsHeading = QT_TR_NOOP("My Presets");

signals:
    void pickChanged();

private:
    int rowOfPreset(int number) const;

    QComboBox* m_combo;
    OptionSheet* m_sheet;
    QList<QIcon> m_headingIcons;
    QList<Preset> m_presets;
    // What the sheet shows: values of this profile, or of this preset.
    int m_shownProfile = 0;
    int m_shownPreset = 0;
};

} // namespace clipvane
