#include "options/presets.h"

#include "options/optionsheet.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSaveFile>
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
    QList<Preset> presets = loadInFileOrder(file);
    QCollator order;
    order.setCaseSensitivity(Qt::CaseInsensitive);
    order.setNumericMode(true);
    std::stable_sort(presets.begin(), presets.end(), [&](const Preset& a, const Preset& b) {
        return order.compare(a.name, b.name) < 0;
    });
    return presets;
}

QList<Preset> PresetStore::loadInFileOrder(const SettingsSnapshot& file) {
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
    const QList<Preset> presets = load();
    const Preset* same = findByName(presets, clean);
    const int number = same ? same->number : freeNumber();
    return write(number, clean, catalogue.at(profileIndex - 1).caption, editableOptions(sheet))
               ? number
               : 0;
}

int PresetStore::freeNumber(int wanted) const {
    // Above every preset section there is (damaged ones included), unless wanted is free.
    int highest = 0;
    bool wantedTaken = false;
    for (const QString& section : SettingsSnapshot(m_filePath).sectionNames()) {
        const int n = sectionNumber(section);
        highest = std::max(highest, n);
        wantedTaken = wantedTaken || n == wanted;
    }
    return wanted > 0 && !wantedTaken ? wanted : highest + 1;
}

bool PresetStore::write(int number, const QString& name, const QString& profileCaption,
                        const StoredOptions& options) const {
    StoredOptions entries{{QLatin1String(kNameKey), quotedWhereNeeded(name)},
                          {QLatin1String(kProfileKey), quotedWhereNeeded(profileCaption)}};
    for (const auto& [key, value] : options)
        entries.append({key, quotedWhereNeeded(value)});
    return replaceSection(m_filePath, sectionFor(number), entries);
}

bool PresetStore::exportTo(const QString& exportFile, QString* why) const {
    const QList<Preset> presets = loadInFileOrder(SettingsSnapshot(m_filePath));
    if (presets.isEmpty()) {
        if (why)
            *why = QCoreApplication::translate("Preset", "You have no presets to export.");
        return false;
    }
    // The lines settings.dat has for them, written by the same writer.
    QByteArray text = "; Clipvane presets\n";
    for (const Preset& p : presets) {
        text += '\n' + (QLatin1Char('[') + sectionFor(p.number) + QLatin1Char(']')).toUtf8() + '\n';
        StoredOptions entries{{QLatin1String(kNameKey), p.name},
                              {QLatin1String(kProfileKey), p.profileCaption}};
        entries.append(p.options);
        for (const auto& [key, value] : entries)
            text += settingsLine(key, quotedWhereNeeded(value)) + '\n';
    }
    QSaveFile file(exportFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

namespace {
// A name no preset has: "Name (2)", "Name (3)", ... within the longest name a preset takes.
QString freeName(const QString& name, const QList<Preset>& presets) {
    for (int n = 2;; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        const QString candidate =
            name.left(kMaxPresetNameLength - suffix.size()).trimmed() + suffix;
        if (!PresetStore::findByName(presets, candidate))
            return candidate;
    }
}
} // namespace

PresetImport
PresetStore::importFrom(const QString& importFile,
                        const std::function<PresetNameClash(const QString& name)>& onClash) const {
    PresetImport result;
    const SettingsSnapshot file(importFile);
    result.problem = file.problem();
    if (!result.problem.isEmpty())
        return result;
    int taken = 0;
    for (const QString& section : file.sectionNames()) {
        const int number = sectionNumber(section);
        if (number == 0)
            continue;
        StoredOptions options = file.section(section);
        bool utf8 = true;
        for (const auto& entry : std::as_const(options))
            utf8 = utf8 && !file.eightBitValue(section, entry.first);
        const QString name = cleanPresetName(take(options, kNameKey));
        const QString caption = take(options, kProfileKey);
        const QString shown = name.isEmpty() ? QLatin1Char('[') + section + QLatin1Char(']') : name;
        QString why;
        if (name.isEmpty())
            why = QCoreApplication::translate("Preset", "it has no name");
        else if (caption.isEmpty())
            why = QCoreApplication::translate("Preset", "it names no profile");
        else if (!utf8)
            why = QCoreApplication::translate("Preset", "it is not UTF-8 text");
        else if (!profileOfCaption(caption))
            why = QCoreApplication::translate(
                      "Preset", "its profile \u201c%1\u201d is not one Clipvane offers")
                      .arg(caption);
        else if (taken >= kMaxImportedPresets)
            why = QCoreApplication::translate("Preset", "the file holds too many presets");
        if (!why.isEmpty()) {
            result.skipped.append(QStringLiteral("%1 (%2)").arg(shown, why));
            continue;
        }
        ++taken;
        const QList<Preset> presets = load();
        QString savedName = name;
        int target = 0;
        if (const Preset* same = findByName(presets, name)) {
            switch (onClash ? onClash(same->name) : PresetNameClash::KeepBoth) {
            case PresetNameClash::Replace:
                target = same->number;
                savedName = name;
                break;
            case PresetNameClash::KeepBoth:
                savedName = freeName(name, presets);
                break;
            case PresetNameClash::Skip:
                ++result.kept;
                continue;
            }
        }
        if (target == 0)
            target = freeNumber(number);
        if (!write(target, savedName, caption, options)) {
            result.writeFailed = true;
            return result;
        }
        result.imported.append(savedName);
    }
    return result;
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
