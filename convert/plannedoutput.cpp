#include "convert/plannedoutput.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "options/profiles.h"

#include <algorithm>

namespace clipvane {

EncoderInputs rowInputs(const SourceList& list, SourceList::Id id, const ProfileEntry* profile,
                        const RunSettings& settings) {
    EncoderInputs in;
    in.programFolder = programFolder();
    in.inputPath = list.text(id, SourceList::FileName);
    in.clipStart = list.clipStart(id);
    in.clipEnd = list.clipEnd(id);
    in.exactLength = list.mediaFacts(id).seconds;
    in.streams = list.streamFacts(id);
    in.tracks = list.trackChoice(id);
    in.profile = profile;
    in.outputFolder = settings.outputFolder;
    in.overwrite = settings.overwrite;
    in.threads = static_cast<int>(std::clamp<qint64>(roundHalfEven(settings.threads), 0, 1024));
    return in;
}

QString plannedOutputPath(const SourceList& list, int row, const OptionSheet& sheet,
                          int profileIndex, const RunSettings& settings) {
    if (row < 0 || row >= list.count())
        return QString();
    const ProfileEntry* profile = profileAt(profileIndex);
    const auto options = readEncoderOptions(sheet);
    if (!std::holds_alternative<EncoderOptions>(options))
        return QString();
    QStringList taken; // what the rows above would write
    for (int r = 0; r <= row; ++r) {
        EncoderInputs in = rowInputs(list, list.idAt(r), profile, settings);
        in.options = std::get<EncoderOptions>(options);
        in.writtenByBatch = taken;
        const EncoderCommandResult built = buildEncoderCommand(in);
        const auto* command = std::get_if<EncoderCommand>(&built);
        if (r == row)
            return command ? command->outputPath : QString();
        if (command)
            taken.append(command->outputPath);
    }
    return QString();
}

} // namespace clipvane
