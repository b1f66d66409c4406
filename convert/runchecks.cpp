#include "convert/runchecks.h"

#include "base/textvalues.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/toolpaths.h"
#include "sources/streamfacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

namespace clipvane {

QStringList refusedSampleRates(const QString& outputExtension) {
    const QString ext = outputExtension.toLower();
    if (ext == QLatin1String(".flv"))
        return {QStringLiteral("8000"), QStringLiteral("24000"), QStringLiteral("32000")};
    if (ext == QLatin1String(".swf"))
        return {QStringLiteral("8000"), QStringLiteral("24000"), QStringLiteral("32000"),
                QStringLiteral("48000")};
    // Opus refuses 11025, 22050, 32000 and 44100 Hz, and writes 8000 and 24000 Hz as 48000.
    if (ext == QLatin1String(".webm"))
        return {QStringLiteral("8000"),  QStringLiteral("11025"), QStringLiteral("22050"),
                QStringLiteral("24000"), QStringLiteral("32000"), QStringLiteral("44100")};
    return {};
}

std::optional<QString> checkBeforeRun(int profileIndex, const OptionSheet& sheet,
                                      const QString& outputFolder, bool outputFolderUsed) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    const std::optional<QString> extension =
        profileIndex >= 1 && profileIndex <= catalogue.size()
            ? outputExtension(catalogue.at(profileIndex - 1).caption)
            : std::nullopt;
    if (!extension)
        return QCoreApplication::translate("RunChecks", kPickAProfile);

    const QString rate = sheet.value(opt::Audio, opt::SampleRate).value_or(QString());
    const bool audioOff =
        sheet.value(opt::Audio, opt::DisableAudio).value_or(QString()) != QLatin1String("No");
    const ProfileEntry& profile = catalogue.at(profileIndex - 1);
    if (audioOff && profile.isSoundOnly())
        return QCoreApplication::translate(
                   "RunChecks", "%1 files hold sound only, and Disable Audio is Yes. Set Disable "
                                "Audio to No.")
            .arg(extension->mid(1).toUpper());
    // Opus carries at most 256 kbit/s in each channel.
    const double channels =
        strictNumber(sheet.value(opt::Audio, opt::AudioChannel).value_or(QString())).value_or(0);
    const double kbits =
        strictNumber(sheet.value(opt::Audio, opt::AudioBitrate).value_or(QString())).value_or(0);
    if (!audioOff && profile.audioCodec == QLatin1String("opus") && channels >= 1 &&
        kbits > 256 * channels)
        return QCoreApplication::translate(
                   "RunChecks", "WebM sound in %1 channel takes at most %2 kbit/s. Choose a "
                                "lower Audio Bitrate, or more channels under Audio Channel.")
            .arg(channels)
            .arg(256 * channels);
    if (!audioOff && refusedSampleRates(*extension).contains(rate.trimmed())) {
        QStringList allowed;
        if (const OptionSheet::Row* row = sheet.row(opt::Audio, opt::SampleRate))
            for (const QString& choice : row->choices)
                if (!refusedSampleRates(*extension).contains(choice))
                    allowed << choice;
        return QCoreApplication::translate(
                   "RunChecks", "%1 files cannot carry sound at %2 Hz. Choose %3 Hz under "
                                "Sample Rate.")
            .arg(extension->mid(1).toUpper(), rate.trimmed(), allowed.join(QStringLiteral(", ")));
    }

    // Made if missing; written to, for real (permission bits do not tell for every user).
    QTemporaryFile probe(outputFolder + QStringLiteral("/.clipvane-XXXXXX"));
    if (outputFolderUsed && (!QDir().mkpath(outputFolder) || !probe.open()))
        return QCoreApplication::translate(
                   "RunChecks", "The output folder %1 cannot be created or written. Choose "
                                "another under Video Settings.")
            .arg(QDir::toNativeSeparators(outputFolder));
    return std::nullopt;
}

} // namespace clipvane

namespace clipvane {

std::optional<QString> checkRowBeforeRun(const ProfileEntry* profile, const StreamFacts& streams,
                                         bool soundless) {
    if (!profile || profile->isHeading)
        return std::nullopt;
    if (profile->isSoundOnly() && soundless)
        return QCoreApplication::translate("RunChecks",
                                           "This file holds no sound, so there is nothing to "
                                           "write into a sound-only file.");
    if (!profile->isSoundOnly() && streams.soundOnly())
        return QCoreApplication::translate(
            "RunChecks", "This file holds sound only, no video picture. Choose MP3 Audio or AAC "
                         "Audio under Profile: to convert it.");
    return std::nullopt;
}

} // namespace clipvane
