#pragma once

#include "convert/encodercommand.h"
#include "settings/preferences.h"
#include "sources/sourcelist.h"

#include <QString>

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

// The output a run started now would write for the row: the run's own naming (the
// settings' folder and overwrite rule; "_New" names for names taken on disk, by a file being
// written, or by a row above). Empty when the row would fail before writing anything.
QString plannedOutputPath(const SourceList& list, int row, const OptionSheet& sheet,
                          int profileIndex, const RunSettings& settings);

} // namespace clipvane
