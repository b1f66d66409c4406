#include "options/profiles.h"

#include "base/textvalues.h"
#include "options/optionsheet.h"

#include <QCoreApplication>

namespace clipvane {

const QList<ProfileEntry>& profileCatalogue() {
    static const QList<ProfileEntry> catalogue = {
        {QT_TRANSLATE_NOOP("Profile", "Flash Video"), true},
        {QT_TRANSLATE_NOOP("Profile", "Flash Video Movie(*.flv)"), false},
        {QT_TRANSLATE_NOOP("Profile", "Flash SWF(*.swf)"), false},
        {QT_TRANSLATE_NOOP("Profile", "Modern Video"), true},
        {QT_TRANSLATE_NOOP("Profile", "MP4 Video H.264 + AAC(*.mp4)"), false,
         QStringLiteral("H.264"), QStringLiteral("aac")},
        {QT_TRANSLATE_NOOP("Profile", "MP4 Video H.265 + AAC(*.mp4)"), false,
         QStringLiteral("H.265"), QStringLiteral("aac")},
        {QT_TRANSLATE_NOOP("Profile", "WebM Video VP9 + Opus(*.webm)"), false,
         QStringLiteral("VP9"), QStringLiteral("opus")},
        {QT_TRANSLATE_NOOP("Profile", "WebM Video AV1 + Opus(*.webm)"), false,
         QStringLiteral("AV1"), QStringLiteral("opus")},
        {QT_TRANSLATE_NOOP("Profile", "Matroska Video H.264 + AAC(*.mkv)"), false,
         QStringLiteral("H.264"), QStringLiteral("aac")},
        {QT_TRANSLATE_NOOP("Profile", "Audio Only"), true},
        {QT_TRANSLATE_NOOP("Profile", "MP3 Audio(*.mp3)"), false, QString(), QStringLiteral("mp3")},
        {QT_TRANSLATE_NOOP("Profile", "AAC Audio(*.m4a)"), false, QString(), QStringLiteral("aac")},
    };
    return catalogue;
}

const ProfileEntry* profileAt(int index) {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    return index >= 1 && index <= catalogue.size() ? &catalogue.at(index - 1) : nullptr;
}

const ProfileEntry* profileByCaption(const QString& caption) {
    for (const ProfileEntry& entry : profileCatalogue()) {
        if (entry.caption == caption)
            return &entry;
    }
    return nullptr;
}

std::optional<QualityScale> qualityScale(const QString& videoCodec) {
    if (videoCodec == QLatin1String("H.264"))
        return QualityScale{0, 51, 23};
    if (videoCodec == QLatin1String("H.265"))
        return QualityScale{0, 51, 28};
    if (videoCodec == QLatin1String("VP9"))
        return QualityScale{0, 63, 31};
    if (videoCodec == QLatin1String("AV1"))
        return QualityScale{0, 63, 35};
    return std::nullopt;
}

namespace {
// The rows that shape the picture: locked while a profile writes no picture.
const QString* const kVideoRows[] = {&opt::VideoCodec,
                                     &opt::VideoSize,
                                     &opt::VideoBitrate,
                                     &opt::VideoFramerate,
                                     &opt::KeepAspectRatio,
                                     &opt::EncodingSpeed,
                                     &opt::BurnInSubtitles,
                                     &opt::Quality,
                                     &opt::Crop,
                                     &opt::Deinterlace,
                                     &opt::Denoise,
                                     &opt::Rotate,
                                     &opt::Flip,
                                     &opt::SquarePixels,
                                     &opt::TwoPass,
                                     &opt::TargetSize,
                                     &opt::Encoder};
// The picture's own rows (quality, filters), which the Flash command lines never had.
const QString* const kPictureRows[] = {&opt::Quality, &opt::TwoPass,     &opt::TargetSize,
                                       &opt::Crop,    &opt::Deinterlace, &opt::Denoise,
                                       &opt::Rotate,  &opt::Flip,        &opt::SquarePixels};
// Picture rows whose value a pick keeps: the quality is set from the encoder's scale, and a
// size in MB means the same for every profile.
bool keptByPick(const QString& caption) {
    return caption == opt::Quality || caption == opt::TargetSize;
}

void setChoices(OptionSheet& sheet, const QString& category, const QString& caption,
                const QStringList& choices);

// The hardware encoders found on this machine, by codec ("H.264": {"VAAPI"}).
QHash<QString, QStringList>& hardwareByCodec() {
    static QHash<QString, QStringList> found;
    return found;
}

void offerEncoders(OptionSheet& sheet, const QString& codec, bool picture) {
    const QStringList choices = QStringList{QStringLiteral("Software")} +
                                (picture ? hardwareByCodec().value(codec) : QStringList());
    setChoices(sheet, opt::Video, opt::Encoder, choices);
    // Locked while there is nothing to choose.
    sheet.setLocked(opt::Video, opt::Encoder, choices.size() < 2);
    if (!choices.contains(sheet.value(opt::Video, opt::Encoder).value_or(QString())))
        sheet.setValue(opt::Video, opt::Encoder, QStringLiteral("Software"));
}

void setChoices(OptionSheet& sheet, const QString& category, const QString& caption,
                const QStringList& choices) {
    const OptionSheet::Row* row = sheet.row(category, caption);
    if (!row || row->choices == choices)
        return;
    sheet.clearChoices(category, caption);
    for (const QString& choice : choices)
        sheet.addChoice(category, caption, choice);
}

// Gives back the choices and the lock a pick of today's formats changed.
void restoreFlashRows(OptionSheet& sheet) {
    for (const QString* caption : kVideoRows)
        sheet.setLocked(opt::Video, *caption, false);
    // The Flash encoders have no speed setting, and their command lines keep no subtitles.
    sheet.setLocked(opt::Video, opt::EncodingSpeed, true);
    sheet.setLocked(opt::Video, opt::BurnInSubtitles, true);
    offerEncoders(sheet, QString(), false);
    for (const QString* caption : kPictureRows) {
        if (!keptByPick(*caption))
            sheet.setValue(opt::Video, *caption, startingChoices(opt::Video, *caption).value(0));
        sheet.setLocked(opt::Video, *caption, true);
    }
    for (const QString* caption : {&opt::VideoBitrate, &opt::VideoFramerate})
        setChoices(sheet, opt::Video, *caption, startingChoices(opt::Video, *caption));
    setChoices(sheet, opt::Audio, opt::SampleRate, startingChoices(opt::Audio, opt::SampleRate));
    // Flash writes the number of channels asked for: "Same as source" is not one.
    const QStringList channels = startingChoices(opt::Audio, opt::AudioChannel);
    setChoices(sheet, opt::Audio, opt::AudioChannel, channels);
    if (!channels.contains(sheet.value(opt::Audio, opt::AudioChannel).value_or(QString())))
        sheet.setValue(opt::Audio, opt::AudioChannel, QStringLiteral("2"));
}

void applyTodaysFormat(OptionSheet& sheet, const ProfileEntry& profile) {
    const bool picture = !profile.isSoundOnly();
    for (const QString* caption : kVideoRows)
        sheet.setLocked(opt::Video, *caption, !picture);
    const QString codec = picture ? profile.videoCodec : QStringLiteral("None");
    sheet.clearChoices(opt::Video, opt::VideoCodec);
    sheet.setValue(opt::Video, opt::VideoCodec, codec);
    sheet.addChoice(opt::Video, opt::VideoCodec, codec);

    QStringList sizes{choice::SameAsSource, "426x240",   "640x360",   "854x480",
                      "1280x720",           "1920x1080", "2560x1440", "3840x2160"};
    sizes << QStringList{"128x96",  "176x144", "220x176", "320x240",
                         "704x576", "640x480", "800x600", "1024x768"};
    setChoices(sheet, opt::Video, opt::VideoSize, sizes);
    sheet.setValue(opt::Video, opt::VideoSize, choice::SameAsSource);
    setChoices(sheet, opt::Video, opt::VideoBitrate,
               QStringList{choice::Auto, choice::TargetSize} +
                   startingChoices(opt::Video, opt::VideoBitrate) +
                   QStringList{"4000", "8000", "16000"});
    sheet.setValue(opt::Video, opt::VideoBitrate, choice::Auto);
    QStringList rates = startingChoices(opt::Video, opt::VideoFramerate);
    rates.removeAll(choice::Auto); // "Auto" is 25 for Flash; here the source decides
    setChoices(sheet, opt::Video, opt::VideoFramerate, QStringList{choice::SameAsSource} + rates);
    sheet.setValue(opt::Video, opt::VideoFramerate, choice::SameAsSource);
    sheet.setValue(opt::Video, opt::KeepAspectRatio, choice::Yes);
    sheet.setValue(opt::Video, opt::EncodingSpeed, choice::Balanced);
    sheet.setValue(opt::Video, opt::BurnInSubtitles, choice::None);
    sheet.setValue(opt::Video, opt::Encoder, QStringLiteral("Software"));
    offerEncoders(sheet, profile.videoCodec, picture);
    // The encoder's own quality scale, its default shown.
    if (const std::optional<QualityScale> scale = qualityScale(codec)) {
        sheet.setRange(opt::Video, opt::Quality, scale->lowest, scale->highest);
        sheet.setValue(opt::Video, opt::Quality, QString::number(scale->standard));
    }
    for (const QString* caption : kPictureRows) {
        if (!keptByPick(*caption))
            sheet.setValue(opt::Video, *caption, startingChoices(opt::Video, *caption).value(0));
    }

    sheet.clearChoices(opt::Audio, opt::AudioCodec);
    sheet.setValue(opt::Audio, opt::AudioCodec, profile.audioCodec);
    sheet.addChoice(opt::Audio, opt::AudioCodec, profile.audioCodec);
    sheet.setValue(opt::Audio, opt::AudioBitrate,
                   picture ? QStringLiteral("128") : QStringLiteral("192"));
    // Opus takes 48000 Hz only; the others take every rate of the sheet.
    const bool opus = profile.audioCodec == QLatin1String("opus");
    setChoices(sheet, opt::Audio, opt::SampleRate,
               opus ? QStringList{"48000"} : startingChoices(opt::Audio, opt::SampleRate));
    sheet.setValue(opt::Audio, opt::SampleRate,
                   picture ? QStringLiteral("48000") : QStringLiteral("44100"));
    // Each track keeps its channels (up to 7.1) unless one or two are asked for; MP3 holds
    // two at most, and more are mixed down to them.
    setChoices(sheet, opt::Audio, opt::AudioChannel,
               QStringList{choice::SameAsSource} + startingChoices(opt::Audio, opt::AudioChannel));
    sheet.setValue(opt::Audio, opt::AudioChannel, choice::SameAsSource);
}
} // namespace

void setHardwareEncoders(const QHash<QString, QStringList>& byCodec) {
    hardwareByCodec() = byCodec;
}

void offerHardwareEncoders(OptionSheet& sheet, int index) {
    const ProfileEntry* profile = profileAt(index);
    if (profile && profile->isTodaysFormat())
        offerEncoders(sheet, profile->videoCodec, !profile->isSoundOnly());
}

void applyProfilePick(OptionSheet& sheet, int index) {
    const ProfileEntry* profile = profileAt(index);
    if (!profile || profile->isHeading)
        return; // a header entry, or nothing selected
    if (profile->isTodaysFormat())
        return applyTodaysFormat(sheet, *profile);
    const QString codec = index == 2 ? QStringLiteral("FLV") : QStringLiteral("SWF");
    sheet.clearChoices(opt::Video, opt::VideoCodec);
    sheet.setValue(opt::Video, opt::VideoCodec, codec);
    sheet.addChoice(opt::Video, opt::VideoCodec, codec);
    sheet.setValue(opt::Video, opt::VideoBitrate, QStringLiteral("512"));
    sheet.setValue(opt::Video, opt::VideoFramerate, QStringLiteral("25"));
    sheet.clearChoices(opt::Video, opt::VideoSize);
    sheet.setValue(opt::Video, opt::VideoSize, QStringLiteral("320x240"));
    for (const char* size :
         {"128x96", "176x144", "220x176", "320x240", "704x576", "640x480", "800x600", "1024x768"})
        sheet.addChoice(opt::Video, opt::VideoSize, QString::fromLatin1(size));
    sheet.clearChoices(opt::Audio, opt::AudioCodec);
    sheet.setValue(opt::Audio, opt::AudioCodec, QStringLiteral("mp3"));
    sheet.addChoice(opt::Audio, opt::AudioCodec, QStringLiteral("mp3"));
    sheet.setValue(opt::Audio, opt::AudioBitrate, QStringLiteral("64"));
    sheet.setValue(opt::Audio, opt::SampleRate, QStringLiteral("44100"));
    // The exact size asked for, stretched, as these profiles always wrote it; the user may
    // choose to keep the picture's shape (then black bars fill the rest).
    sheet.setValue(opt::Video, opt::KeepAspectRatio, choice::No);
    restoreFlashRows(sheet);
}

int profileIndexFromSetting(const QString& stored) {
    const double number = leadingNumber(stored);
    // Far out of range (a 20-digit number, say) selects nothing before any rounding.
    if (!(number > -1.0 && number < profileCatalogue().size() + 1.0))
        return 0;
    const qint64 index = roundHalfEven(number);
    if (index < 1 || index > profileCatalogue().size())
        return 0;
    return static_cast<int>(index);
}

int firstStartProfileIndex() {
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        if (catalogue.at(i).caption == QLatin1String("MP4 Video H.264 + AAC(*.mp4)"))
            return int(i) + 1;
    }
    return 0;
}

int startProfileIndex(const QString& stored) {
    return stored.isEmpty() ? firstStartProfileIndex() : profileIndexFromSetting(stored);
}

std::optional<QString> outputExtension(const QString& caption) {
    const qsizetype open = caption.indexOf(QLatin1String("(*"));
    if (open < 0)
        return std::nullopt;
    const qsizetype close = caption.indexOf(QLatin1Char(')'), open + 2);
    if (close < 0 || close == open + 2)
        return std::nullopt;
    return caption.mid(open + 2, close - open - 2);
}

QString profileLabel(const QString& caption) {
    const ProfileEntry* entry = profileByCaption(caption);
    const std::optional<QString> extension = outputExtension(caption);
    if (!entry || entry->isHeading || !extension)
        return caption;
    const QString container = extension->mid(1).toUpper();
    if (entry->videoCodec.isEmpty())
        return container;
    return (container == QLatin1String("WEBM") ? QStringLiteral("WebM") : container) +
           QLatin1Char(' ') + entry->videoCodec;
}

QString shownProfileCaption(const QString& caption) {
    return profileByCaption(caption)
               ? QCoreApplication::translate("Profile", caption.toUtf8().constData())
               : caption;
}

} // namespace clipvane
