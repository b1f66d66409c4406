#pragma once

#include "settings/settingsfile.h"

#include <QList>
#include <QString>

namespace clipvane {

class OptionSheet;

// Sheet values as settings.dat keeps them: the key "Category/Caption" and the value text.
using StoredOptions = QList<SettingsEntry>;

// The key a row is kept under.
QString optionKey(const QString& category, const QString& caption);

// Every row a user can change (every row that is not locked) with its value.
StoredOptions editableOptions(const OptionSheet& sheet);

// Sets each stored value whose row still exists, can be changed by the user and, for a list
// row, is still one of its choices; any other value is dropped and its row keeps what it
// shows. Keys match without regard to case. Returns how many rows were set.
int applyStoredOptions(OptionSheet& sheet, const StoredOptions& stored);

// Sets every row a user can change to what a first pick of the profile gives: the values and
// choices of a new sheet with the profile's pick on it. Locked rows (the item page) keep
// theirs.
void resetToProfile(OptionSheet& sheet, int profileIndex);

// The sheet's values per profile, remembered from one pick of a profile to the next and from
// one run of the program to the next: section "options.<entry>" of settings.dat for the
// catalogue entry <entry> (1-based, as the "profile" setting counts), holding the profile's
// caption (a section left by another catalogue is not used) and one key per row.
class OptionMemory {
public:
    explicit OptionMemory(const QString& filePath) : m_filePath(filePath) {}

    // Keeps the sheet's values for that profile; headings and unknown entries keep nothing.
    bool remember(int profileIndex, const OptionSheet& sheet) const;
    // Sets the remembered values of that profile on the sheet; false when none are kept.
    bool recall(int profileIndex, OptionSheet& sheet) const;

    static QString sectionFor(int profileIndex);
    static constexpr const char* kProfileKey = "profile";

private:
    QString m_filePath;
};

} // namespace clipvane
