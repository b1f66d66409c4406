#pragma once

#include "convert/encodercommand.h"
#include "settings/preferences.h"
#include "sources/sourcelist.h"

#include <QString>
#include <functional>
#include <optional>
#include <variant>

namespace clipvane {

class OptionSheet;
struct ProfileEntry;

// Where a row's output goes: the run's output folder, or beside its source when the settings
// say so and the source's folder takes new files; fellBack says it does not (the output
// folder takes the file instead).
struct OutputPlace {
    QString folder;
    bool besideSource = false;
    bool fellBack = false;
};
OutputPlace outputPlace(const QString& inputPath, const RunSettings& settings);

// Whether a run over the list writes anything into the output folder: always, unless every
// output goes beside its source.
bool usesOutputFolder(const SourceList& list, const RunSettings& settings);

// What a run gives the encoder command for a row, apart from the option sheet's values and
// the outputs of the rows before it: the file, its clip, the profile and the run's settings
// (the output's folder as outputPlace gives it).
EncoderInputs rowInputs(const SourceList& list, SourceList::Id id, const ProfileEntry* profile,
                        const RunSettings& settings);

// How a row is converted: with its own profile and values when it has them, else with the
// picker's profile and the option sheet.
struct RowEncoding {
    const ProfileEntry* profile = nullptr;
    int profileIndex = 0; // 1-based catalogue entry, 0 when none
    std::variant<EncoderOptions, EncoderCommandError> options;
};
RowEncoding rowEncoding(const SourceList& list, SourceList::Id id, int pickerProfile,
                        const OptionSheet* sheet);

// A row's own profile: the picker's profile (a preset's profile) and the sheet's values now;
// nothing when the picker shows no profile.
std::optional<RowProfile> makeRowProfile(int profileIndex, const OptionSheet& sheet);
// The 1-based catalogue entry of a caption, 0 when the catalogue has no such profile.
int profileIndexOf(const QString& caption);
// Fills a sheet as a row's own profile converts: a first pick of its profile, then its values.
// Returns the profile's entry, 0 when the catalogue no longer has it.
int fillRowSheet(OptionSheet& sheet, const RowProfile& profile);

// What stops a run over these rows before it starts (see checkBeforeRun), for the picker's
// profile when a row follows it and for each profile rows keep for themselves. The output
// folder is checked only when some file will be written there (outputFolderUsed).
std::optional<QString> checkRowsBeforeRun(const SourceList& list, int pickerProfile,
                                          const OptionSheet* sheet, const QString& outputFolder,
                                          bool outputFolderUsed = true);

// Rows whose Target Size leaves too little for a picture: the first such row named, with the
// smallest size that would do; nothing when every target can be met.
std::optional<QString> checkTargetSizes(const SourceList& list, int pickerProfile,
                                        const OptionSheet* sheet, const RunSettings& settings);

// Where the list's outputs would not fit, by the rows' estimates: each disk the outputs go to
// whose free space is less than they need, said with how much is missing; nothing when they
// fit (or nothing is estimated). freeBytes answers for a folder (tests replace it).
std::optional<QString> spaceShortfall(const SourceList& list, const RunSettings& settings,
                                      const std::function<qint64(const QString&)>& freeBytes = {});

// The free bytes of the disk that holds a folder (or its nearest existing parent); -1 when
// unknown.
qint64 freeBytesFor(const QString& folder);

// The output a run started now would write for the row: the run's own naming (the
// settings' folder and overwrite rule; "_New" names for names taken on disk, by a file being
// written, or by a row above). Empty when the row would fail before writing anything.
QString plannedOutputPath(const SourceList& list, int row, const OptionSheet& sheet,
                          int profileIndex, const RunSettings& settings);

} // namespace clipvane
