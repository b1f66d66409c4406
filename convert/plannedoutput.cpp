#include "convert/plannedoutput.h"

#include "base/apppaths.h"
#include "options/profiles.h"

namespace clipvane {

EncoderInputs rowInputs(const SourceList& list, SourceList::Id id, const ProfileEntry* profile,
                        const RunSettings& settings) {
    EncoderInputs in;
    in.programFolder = programFolder();
    in.inputPath = list.text(id, SourceList::FileName);
    in.clipStart = list.text(id, SourceList::Start);
    in.clipEnd = list.text(id, SourceList::End);
    in.videoTime = list.text(id, SourceList::VideoTime);
    in.exactLength = list.mediaFacts(id).seconds;
    if (profile)
        in.profileCaption = profile->caption;
    in.outputFolder = settings.outputFolder;
    in.overwrite = settings.overwrite;
    in.threadCount = settings.threads;
    return in;
}

QString plannedOutputPath(const SourceList& list, int row, const OptionSheet& sheet,
                          int profileIndex, const RunSettings& settings) {
    if (row < 0 || row >= list.count())
        return QString();
    const ProfileEntry* profile = profileAt(profileIndex);
    QStringList taken; // what the rows above would write
    for (int r = 0; r <= row; ++r) {
        EncoderInputs in = rowInputs(list, list.idAt(r), profile, settings);
        if (!readEncoderOptions(sheet, in))
            return QString();
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
