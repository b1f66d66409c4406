#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

class OptionSheet;

// The fixed catalogue of output profiles, in picker order (index 1 is the first entry).
struct ProfileEntry {
    QString caption;
    bool isHeading;
};
const QList<ProfileEntry>& profileCatalogue();

// The picker's pick: sets the profile's option rows. index is 1-based; 0 (no selection)
// and the header entry 1 leave the sheet as it is.
void applyProfilePick(OptionSheet& sheet, int index);

// The 1-based entry named by the "profile" setting, or 0 when it names none.
int profileIndexFromSetting(const QString& stored);

// The output extension of a profile caption: the four characters from its first ".", or
// nothing for a caption without ".".
std::optional<QString> outputExtension(const QString& caption);

} // namespace clipvane
