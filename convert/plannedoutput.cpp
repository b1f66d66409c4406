#include "convert/plannedoutput.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "convert/outputsize.h"
#include "convert/runchecks.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/profiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStorageInfo>
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
    in.streams = list.streamFacts(id);
    in.tracks = list.trackChoice(id);
    in.profile = profile;
    in.outputFolder = outputPlace(in.inputPath, settings).folder;
    in.overwrite = settings.overwrite;
    in.threads = static_cast<int>(std::clamp<qint64>(roundHalfEven(settings.threads), 0, 1024));
    return in;
}

int profileIndexOf(const QString& caption) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        if (!catalogue.at(i).isHeading && catalogue.at(i).caption == caption)
            return static_cast<int>(i + 1);
    }
    return 0;
}

int fillRowSheet(OptionSheet& sheet, const RowProfile& profile) {
    const int index = profileIndexOf(profile.caption);
    fillOptionSheet(sheet);
    if (index == 0)
        return 0;
    applyProfilePick(sheet, index);
    applyStoredOptions(sheet, profile.options);
    return index;
}

std::optional<RowProfile> makeRowProfile(int profileIndex, const OptionSheet& sheet) {
    const ProfileEntry* entry = profileAt(profileIndex);
    if (!entry || entry->isHeading)
        return std::nullopt;
    StoredOptions options = editableOptions(sheet);
    // In key order, as the queue file keeps them: a profile read back is the same profile.
    std::sort(options.begin(), options.end());
    return RowProfile{entry->caption, profileLabel(entry->caption), options};
}

RowEncoding rowEncoding(const SourceList& list, SourceList::Id id, int pickerProfile,
                        const OptionSheet* sheet) {
    RowEncoding out;
    const std::optional<RowProfile> own = list.rowProfile(id);
    if (!own) {
        out.profileIndex = pickerProfile;
        out.profile = profileAt(pickerProfile);
        if (sheet)
            out.options = readEncoderOptions(*sheet);
        else
            out.options = EncoderCommandError{QCoreApplication::translate(
                "clipvane::BatchRun", "The option sheet is incomplete.")};
        return out;
    }
    OptionSheet rowSheet;
    out.profileIndex = fillRowSheet(rowSheet, *own);
    out.profile = profileAt(out.profileIndex);
    if (!out.profile)
        out.options = EncoderCommandError{
            QCoreApplication::translate("RowProfile",
                                        "This file's own profile %1 is no longer offered. Apply "
                                        "a profile to it again.")
                .arg(own->caption)};
    else
        out.options = readEncoderOptions(rowSheet);
    return out;
}

std::optional<QString> checkRowsBeforeRun(const SourceList& list, int pickerProfile,
                                          const OptionSheet* sheet, const QString& outputFolder,
                                          bool outputFolderUsed) {
    bool anyFollows = false;
    QList<RowProfile> checked;
    for (int row = 0; row < list.count(); ++row) {
        const SourceList::Id id = list.idAt(row);
        const std::optional<RowProfile> own = list.rowProfile(id);
        if (!own) {
            anyFollows = true;
            continue;
        }
        if (checked.contains(*own))
            continue;
        checked.append(*own);
        OptionSheet rowSheet;
        const int index = fillRowSheet(rowSheet, *own);
        if (std::optional<QString> problem =
                checkBeforeRun(index, rowSheet, outputFolder, outputFolderUsed))
            return QCoreApplication::translate("RowProfile", "%1 (own profile %2): %3")
                .arg(QFileInfo(list.text(id, SourceList::FileName)).fileName(), own->shown,
                     *problem);
    }
    // Every row has its own profile: the picker's need not be one. (Without a sheet, each
    // row that follows it fails on its own.)
    if (!anyFollows || !sheet)
        return std::nullopt;
    return checkBeforeRun(pickerProfile, *sheet, outputFolder, outputFolderUsed);
}

std::optional<QString> checkTargetSizes(const SourceList& list, int pickerProfile,
                                        const OptionSheet* sheet, const RunSettings& settings) {
    for (int row = 0; row < list.count(); ++row) {
        const SourceList::Id id = list.idAt(row);
        const RowEncoding encoding = rowEncoding(list, id, pickerProfile, sheet);
        const auto* options = std::get_if<EncoderOptions>(&encoding.options);
        if (!options || !options->targetBytes)
            continue;
        EncoderInputs in = rowInputs(list, id, encoding.profile, settings);
        in.options = *options;
        if (const std::optional<QString> refused = resolveTargetSize(in))
            return QStringLiteral("%1: %2").arg(
                QFileInfo(list.text(id, SourceList::FileName)).fileName(), *refused);
    }
    return std::nullopt;
}

namespace {
// The folder itself, or its nearest parent that exists: a folder still to be made is on that
// one's disk.
QString existingFolder(const QString& folder) {
    QFileInfo at(folder);
    while (!at.exists() && !at.isRoot() && at.absolutePath() != at.absoluteFilePath())
        at = QFileInfo(at.absolutePath());
    return at.absoluteFilePath();
}
} // namespace

qint64 freeBytesFor(const QString& folder) {
    const QStorageInfo storage(existingFolder(folder));
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

std::optional<QString> spaceShortfall(const SourceList& list, const RunSettings& settings,
                                      const std::function<qint64(const QString&)>& freeBytes) {
    const auto freeOf = freeBytes ? freeBytes : freeBytesFor;
    // The estimates added up for each disk the outputs go to.
    struct Disk {
        QString folder;
        qint64 needed = 0;
        qint64 free = -1;
    };
    QMap<QString, Disk> disks;
    for (int row = 0; row < list.count(); ++row) {
        const SourceList::Id id = list.idAt(row);
        const std::optional<SizeEstimate> estimate = list.estimate(id);
        if (!estimate)
            continue;
        const QString folder = outputPlace(list.text(id, SourceList::FileName), settings).folder;
        const QString root = QStorageInfo(existingFolder(folder)).rootPath();
        Disk& disk = disks[root.isEmpty() ? folder : root];
        if (disk.folder.isEmpty()) {
            disk.folder = folder;
            disk.free = freeOf(folder);
        }
        disk.needed += estimate->bytes;
    }
    QStringList short_;
    for (const Disk& disk : std::as_const(disks)) {
        if (disk.free < 0 || disk.needed <= disk.free)
            continue;
        short_.append(QCoreApplication::translate(
                          "OutputSize", "The converted files need about %1 in %2, but only %3 "
                                        "is free there: %4 short.")
                          .arg(sizeText(static_cast<double>(disk.needed)),
                               QDir::toNativeSeparators(disk.folder),
                               sizeText(static_cast<double>(disk.free)),
                               sizeText(static_cast<double>(disk.needed - disk.free))));
    }
    if (short_.isEmpty())
        return std::nullopt;
    return short_.join(QLatin1Char('\n'));
}

QString plannedOutputPath(const SourceList& list, int row, const OptionSheet& sheet,
                          int profileIndex, const RunSettings& settings) {
    if (row < 0 || row >= list.count())
        return QString();
    QStringList taken; // what the rows above would write
    for (int r = 0; r <= row; ++r) {
        const SourceList::Id id = list.idAt(r);
        const RowEncoding encoding = rowEncoding(list, id, profileIndex, &sheet);
        const auto* options = std::get_if<EncoderOptions>(&encoding.options);
        if (!options) {
            if (r == row)
                return QString();
            continue;
        }
        EncoderInputs in = rowInputs(list, id, encoding.profile, settings);
        in.options = *options;
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
