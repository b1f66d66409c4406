#include "options/profiles.h"

#include "base/textvalues.h"
#include "options/optionsheet.h"

namespace clipvane {

const QList<ProfileEntry>& profileCatalogue() {
    static const QList<ProfileEntry> catalogue = {
        {QStringLiteral("Flash Video"), true},
        {QStringLiteral("Flash Video Movie(*.flv)"), false},
        {QStringLiteral("Flash SWF(*.swf)"), false},
    };
    return catalogue;
}

void applyProfilePick(OptionSheet& sheet, int index) {
    if (index != 2 && index != 3)
        return; // the header entry, or nothing selected
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

std::optional<QString> outputExtension(const QString& caption) {
    const qsizetype dot = caption.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    return caption.mid(dot, 4);
}

} // namespace clipvane
