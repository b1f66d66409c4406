#include "convert/plannedoutput.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "options/profiles.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <unistd.h>

namespace clipvane {

OutputPlace outputPlace(const QString& inputPath, const RunSettings& settings) {
    OutputPlace place;
    place.folder = settings.outputFolder;
    if (!settings.nextToSource)
        return place;
    const QString source = QFileInfo(inputPath).absolutePath();
    // access() knows read-only mounts and immutable folders, which bind even the superuser.
    if (::access(QFile::encodeName(source).constData(), W_OK | X_OK) == 0) {
        place.folder = source;
        place.besideSource = true;
    } else {
        place.fellBack = true;
    }
    return place;
}

bool usesOutputFolder(const SourceList& list, const RunSettings& settings) {
    if (!settings.nextToSource)
        return true;
    for (int row = 0; row < list.count(); ++row) {
        if (outputPlace(list.textAt(row, SourceList::FileName), settings).fellBack)
            return true;
    }
    return false;
}

EncoderInputs rowInputs(const SourceList& list, SourceList::Id id, const ProfileEntry* profile,
                        const RunSettings& settings) {
    EncoderInputs in;
    in.programFolder = programFolder();
    in.inputPath = list.text(id, SourceList::FileName);
    in.clipStart = list.clipStart(id);
    in.clipEnd = list.clipEnd(id);
    in.exactLength = list.mediaFacts(id).seconds;
    in.profile = profile;
    in.outputFolder = outputPlace(in.inputPath, settings).folder;
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
