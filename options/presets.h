#pragma once

#include "options/optionmemory.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace clipvane {

class OptionSheet;

// A user's own preset: a name, the profile it was saved with and the sheet's values then.
struct Preset {
    int number = 0; // its section in settings.dat is "preset.<number>"
    QString name;
    QString profileCaption; // as saved
    int profileIndex = 0;   // the catalogue entry of that caption, 0 when there is none now
    StoredOptions options;

    bool isUsable() const { return profileIndex > 0; }
    // Why the preset cannot be picked, or the empty text.
    QString problem() const;
};

// The longest name a preset takes.
inline constexpr int kMaxPresetNameLength = 60;

// A typed name as a preset keeps it: control characters as blanks, blanks at the ends
// removed, at most kMaxPresetNameLength characters. Empty when nothing is left.
QString cleanPresetName(const QString& typed);

// Picks a preset: the rows get what a first pick of its profile gives, then the preset's
// values (those its rows still offer).
void applyPreset(OptionSheet& sheet, const Preset& preset);

// What an import does with a preset whose name one of the user's presets has (in any case).
enum class PresetNameClash {
    Replace,  // the imported preset takes the place of the user's
    KeepBoth, // the imported preset is saved under a name of its own ("Name (2)")
    Skip,     // the user's preset stays, the imported one is not saved
};

// What an import did.
struct PresetImport {
    QString problem;          // why the file could not be read at all; nothing was imported
    QStringList imported;     // the names the imported presets were saved under, in file order
    QStringList skipped;      // the presets that could not be imported, each with why
    int kept = 0;             // presets left out because the user kept their own (Skip)
    bool writeFailed = false; // settings.dat could not be written; the import stopped there
};

// The most presets one import takes; the rest of a larger file is skipped.
inline constexpr int kMaxImportedPresets = 500;

// The presets in settings.dat, one section "preset.<number>" each with the keys "name",
// "profile" (the catalogue caption) and one "Category/Caption" key per row. A section without
// a name or a profile is damaged and skipped; the others still load.
class PresetStore {
public:
    explicit PresetStore(const QString& filePath) : m_filePath(filePath) {}

    // The presets in name order. Of two with the same name (in any case) the first in the file
    // counts.
    QList<Preset> load() const;
    // The preset of that name (any case), or nullptr.
    static const Preset* findByName(const QList<Preset>& presets, const QString& name);

    // Saves the profile and the sheet's values under a name (cleaned), replacing a preset of
    // that name. Returns the preset's number, or 0 when the name is empty, the profile a
    // heading or nothing, or the file cannot be written.
    int save(const QString& name, int profileIndex, const OptionSheet& sheet) const;
    bool rename(int number, const QString& name) const;
    bool remove(int number) const;
    // Renames (number, new name) and removes presets in one go, as the manage dialog asks:
    // refused (false, nothing written) when a new name is empty or the names afterwards would
    // not be unique; false too when a write failed.
    bool applyEdits(const QList<std::pair<int, QString>>& renames,
                    const QList<int>& removals) const;

    // The preset that was picked when the program last closed, 0 when it was a catalogue
    // entry: key "picked" of the section "presets".
    int picked() const;
    bool setPicked(int number) const;

    // Writes every preset to a file of its own, to share: UTF-8 text holding the same
    // "[preset.<number>]" sections as settings.dat, in the order settings.dat has them. False
    // (why says it) when there is no preset or the file cannot be written.
    bool exportTo(const QString& exportFile, QString* why = nullptr) const;
    // Adds the presets of such a file (settings.dat itself will do) in its order. A preset
    // without a name or profile, of a profile this catalogue lacks or not in UTF-8 is skipped
    // and named; the others are imported. A name that is taken is decided by onClash. An
    // imported preset keeps its section number when that is free here, so a file imported
    // into a settings file without presets gives back the exported sections byte for byte.
    PresetImport
    importFrom(const QString& importFile,
               const std::function<PresetNameClash(const QString& name)>& onClash) const;

    static QString sectionFor(int number);
    static constexpr const char* kPickedSection = "presets";
    static constexpr const char* kPickedKey = "picked";
    static constexpr const char* kNameKey = "name";
    static constexpr const char* kProfileKey = "profile";

private:
    static QList<Preset> loadFrom(const SettingsSnapshot& file);
    // The presets in file order.
    static QList<Preset> loadInFileOrder(const SettingsSnapshot& file);
    // Writes a preset's section as save() writes it.
    bool write(int number, const QString& name, const QString& profileCaption,
               const StoredOptions& options) const;
    // A section number no section of settings.dat has, preferring wanted.
    int freeNumber(int wanted = 0) const;

    QString m_filePath;
};

} // namespace clipvane
