#include "options/optionmemory.h"

#include "options/optionsheet.h"
#include "options/profiles.h"

namespace clipvane {
namespace {

// The catalogue caption of a profile that has option rows of its own, or nothing.
QString profileCaption(int profileIndex) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    if (profileIndex < 1 || profileIndex > catalogue.size())
        return QString();
    const ProfileEntry& entry = catalogue.at(profileIndex - 1);
    return entry.isHeading ? QString() : entry.caption;
}

} // namespace

QString optionKey(const QString& category, const QString& caption) {
    return category + QLatin1Char('/') + caption;
}

StoredOptions editableOptions(const OptionSheet& sheet) {
    StoredOptions out;
    for (const OptionSheet::Category& c : sheet.categories()) {
        for (const OptionSheet::Row& r : c.rows) {
            if (!r.locked)
                out.append({optionKey(c.name, r.caption), r.value});
        }
    }
    return out;
}

int applyStoredOptions(OptionSheet& sheet, const StoredOptions& stored) {
    int set = 0;
    for (const OptionSheet::Category& c : sheet.categories()) {
        for (const OptionSheet::Row& r : c.rows) {
            if (r.locked)
                continue;
            const QString key = optionKey(c.name, r.caption);
            for (const auto& [k, value] : stored) {
                if (k.compare(key, Qt::CaseInsensitive) != 0)
                    continue;
                // A value the row no longer offers is dropped: the profile's stays.
                if (r.kind == OptionSheet::Kind::Text || r.choices.contains(value)) {
                    sheet.setValue(c.name, r.caption, value);
                    ++set;
                }
                break;
            }
        }
    }
    return set;
}

void resetToProfile(OptionSheet& sheet, int profileIndex) {
    OptionSheet fresh;
    fillOptionSheet(fresh);
    applyProfilePick(fresh, profileIndex);
    for (const OptionSheet::Category& c : fresh.categories()) {
        for (const OptionSheet::Row& r : c.rows) {
            const OptionSheet::Row* now = sheet.row(c.name, r.caption);
            if (!now || now->locked)
                continue;
            if (r.kind == OptionSheet::Kind::Text)
                sheet.setRange(c.name, r.caption, r.minimum, r.maximum);
            if (now->choices != r.choices) {
                sheet.clearChoices(c.name, r.caption);
                for (const QString& choice : r.choices)
                    sheet.addChoice(c.name, r.caption, choice);
            }
            sheet.setValue(c.name, r.caption, r.value);
        }
    }
}

QString OptionMemory::sectionFor(int profileIndex) {
    return QStringLiteral("options.%1").arg(profileIndex);
}

bool OptionMemory::remember(int profileIndex, const OptionSheet& sheet) const {
    const QString caption = profileCaption(profileIndex);
    if (caption.isEmpty())
        return false;
    StoredOptions entries{{QLatin1String(kProfileKey), quotedWhereNeeded(caption)}};
    for (const auto& [key, value] : editableOptions(sheet))
        entries.append({key, quotedWhereNeeded(value)});
    // Keys of rows this program does not show stay as they are.
    return writeSettings(m_filePath, sectionFor(profileIndex), entries);
}

bool OptionMemory::recall(int profileIndex, OptionSheet& sheet) const {
    const QString caption = profileCaption(profileIndex);
    if (caption.isEmpty())
        return false;
    StoredOptions stored = readSection(m_filePath, sectionFor(profileIndex));
    const auto profile = std::find_if(stored.cbegin(), stored.cend(), [](const SettingsEntry& e) {
        return e.first.compare(QLatin1String(kProfileKey), Qt::CaseInsensitive) == 0;
    });
    // Kept by a catalogue whose entry at this place was another profile.
    if (profile == stored.cend() || profile->second != caption)
        return false;
    applyStoredOptions(sheet, stored);
    return true;
}

} // namespace clipvane
