#include "options/presets.h"

#include "options/optionsheet.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSet>
#include <algorithm>

namespace clipvane {
namespace {

constexpr const char* kSectionPrefix = "preset.";

// The number of a "preset.<number>" section name, or 0.
int sectionNumber(const QString& section) {
    if (!section.startsWith(QLatin1String(kSectionPrefix), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = section.mid(int(qstrlen(kSectionPrefix))).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

QString take(StoredOptions& entries, const char* key) {
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).first.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return entries.takeAt(i).second;
    }
    return QString();
}

// The entry of a catalogue caption that has option rows, or 0.
int profileOfCaption(const QString& caption) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        if (!catalogue.at(i).isHeading && catalogue.at(i).caption == caption)
            return int(i) + 1;
    }
    return 0;
}

} // namespace

QString Preset::problem() const {
    if (isUsable())
        return QString();
    return QCoreApplication::translate("Preset", "Its profile \u201c%1\u201d no longer exists.")
        .arg(profileCaption);
}

QString cleanPresetName(const QString& typed) {
    QString name = typed;
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return name.simplified().left(kMaxPresetNameLength).trimmed();
}

void applyPreset(OptionSheet& sheet, const Preset& preset) {
    if (!preset.isUsable())
        return;
    resetToProfile(sheet, preset.profileIndex);
    applyStoredOptions(sheet, preset.options);
}

QString PresetStore::sectionFor(int number) {
    return QLatin1String(kSectionPrefix) + QString::number(number);
}

QList<Preset> PresetStore::load() const {
    return loadFrom(SettingsSnapshot(m_filePath));
}

QList<Preset> PresetStore::loadFrom(const SettingsSnapshot& file) {
    QList<Preset> presets;
    QSet<QString> names; // case-folded, as findByName matches them
    for (const QString& section : file.sectionNames()) {
        const int number = sectionNumber(section);
        if (number == 0)
            continue;
        Preset p;
        p.number = number;
        p.options = file.section(section);
        p.name = cleanPresetName(take(p.options, kNameKey));
        p.profileCaption = take(p.options, kProfileKey);
        const QString folded = p.name.toCaseFolded();
        if (p.name.isEmpty() || p.profileCaption.isEmpty() || names.contains(folded))
            continue; // damaged, or a second copy: this one is lost, the others are not
        names.insert(folded);
        p.profileIndex = profileOfCaption(p.profileCaption);
        presets.append(p);
    }
    QCollator order;
    order.setCaseSensitivity(Qt::CaseInsensitive);
    order.setNumericMode(true);
    std::stable_sort(presets.begin(), presets.end(), [&](const Preset& a, const Preset& b) {
        return order.compare(a.name, b.name) < 0;
    });
    return presets;
}

const Preset* PresetStore::findByName(const QList<Preset>& presets, const QString& name) {
    const QString wanted = cleanPresetName(name);
    for (const Preset& p : presets) {
        if (p.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

int PresetStore::save(const QString& name, int profileIndex, const OptionSheet& sheet) const {
    const QString clean = cleanPresetName(name);
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    if (clean.isEmpty() || profileIndex < 1 || profileIndex > catalogue.size() ||
        catalogue.at(profileIndex - 1).isHeading)
        return 0;
    int number = 0;
    const SettingsSnapshot file(m_filePath);
    const QList<Preset> presets = loadFrom(file);
    if (const Preset* same = findByName(presets, clean)) {
        number = same->number;
    } else {
        // A new number, above every preset section there is (damaged ones included).
        for (const QString& section : file.sectionNames())
            number = std::max(number, sectionNumber(section));
        ++number;
    }
    StoredOptions entries{
        {QLatin1String(kNameKey), quotedWhereNeeded(clean)},
        {QLatin1String(kProfileKey), quotedWhereNeeded(catalogue.at(profileIndex - 1).caption)}};
    for (const auto& [key, value] : editableOptions(sheet))
        entries.append({key, quotedWhereNeeded(value)});
    return replaceSection(m_filePath, sectionFor(number), entries) ? number : 0;
}

bool PresetStore::rename(int number, const QString& name) const {
    return applyEdits({{number, name}}, {});
}

bool PresetStore::applyEdits(const QList<std::pair<int, QString>>& renames,
                             const QList<int>& removals) const {
    // The names as they will be, checked before anything is written.
    QList<Preset> after = load();
    after.removeIf([&](const Preset& p) { return removals.contains(p.number); });
    QList<std::pair<int, QString>> writes;
    for (const auto& [number, name] : renames) {
        const QString clean = cleanPresetName(name);
        const auto it = std::find_if(after.begin(), after.end(),
                                     [&](const Preset& p) { return p.number == number; });
        if (clean.isEmpty() || it == after.end())
            return false;
        if (it->name != clean)
            writes.append({number, clean});
        it->name = clean;
    }
    for (qsizetype i = 0; i < after.size(); ++i) {
        for (qsizetype j = i + 1; j < after.size(); ++j) {
            if (after.at(i).name.compare(after.at(j).name, Qt::CaseInsensitive) == 0)
                return false;
        }
    }
    bool ok = true;
    for (int number : removals)
        ok = remove(number) && ok;
    for (const auto& [number, clean] : writes)
        ok = writeSettings(m_filePath, sectionFor(number),
                           {{QLatin1String(kNameKey), quotedWhereNeeded(clean)}}) &&
             ok;
    return ok;
}

bool PresetStore::remove(int number) const {
    return number > 0 && replaceSection(m_filePath, sectionFor(number), {});
}

int PresetStore::picked() const {
    bool ok = false;
    const int n = readSetting(m_filePath, QLatin1String(kPickedSection), QLatin1String(kPickedKey))
                      .toInt(&ok);
    return ok && n > 0 ? n : 0;
}

bool PresetStore::setPicked(int number) const {
    return writeSetting(m_filePath, QLatin1String(kPickedSection), QLatin1String(kPickedKey),
                        number > 0 ? QString::number(number) : QString());
}

} // namespace clipvane
