#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

class OptionSheet;
struct ProfileEntry;
struct StreamFacts;

// The sample rates an output format's encoder refuses (found by trying every audio choice
// of the option sheet with FFmpeg; a test keeps the table true). Bitrates and channel counts
// of the sheet are all accepted.
QStringList refusedSampleRates(const QString& outputExtension);

// What stops a batch before it starts, in one message, or nothing: no output profile, audio
// the chosen format cannot carry, an output folder that cannot be made or written (when the
// run writes into it at all), no prober to check the outputs with.
std::optional<QString> checkBeforeRun(int profileIndex, const OptionSheet& sheet,
                                      const QString& outputFolder, bool outputFolderUsed = true);

// Why one row cannot be converted with the profile, said on the row before its turn (nothing
// is started for it): sound only for a profile that writes a picture, no sound for a
// sound-only profile. soundless: the file is known to hold no sound.
std::optional<QString> checkRowBeforeRun(const ProfileEntry* profile, const StreamFacts& streams,
                                         bool soundless);

inline constexpr const char* kPickAProfile =
    QT_TRANSLATE_NOOP("RunChecks", "Pick an output profile under Profile: first.");

} // namespace clipvane
