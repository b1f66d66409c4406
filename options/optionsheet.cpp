#include "options/optionsheet.h"

#include <QCoreApplication>

namespace clipvane {

OptionSheet::Category* OptionSheet::findCategory(const QString& name) {
    for (Category& c : m_categories) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

OptionSheet::Row* OptionSheet::findRow(const QString& category, const QString& caption) {
    Category* c = findCategory(category);
    if (!c)
        return nullptr;
    for (Row& r : c->rows) {
        if (r.caption == caption)
            return &r;
    }
    return nullptr;
}

const OptionSheet::Row* OptionSheet::row(const QString& category, const QString& caption) const {
    return const_cast<OptionSheet*>(this)->findRow(category, caption);
}

void OptionSheet::clear() {
    m_categories.clear();
    emit structureChanged();
}

bool OptionSheet::addCategory(const QString& name) {
    if (findCategory(name))
        return false;
    m_categories.push_back(Category{name, {}});
    emit structureChanged();
    return true;
}

bool OptionSheet::hasCategory(const QString& name) const {
    return const_cast<OptionSheet*>(this)->findCategory(name) != nullptr;
}

bool OptionSheet::addRow(const QString& category, const QString& caption, const QString& value,
                         Kind kind) {
    Category* c = findCategory(category);
    if (!c || findRow(category, caption))
        return false;
    c->rows.push_back(Row{caption, kind, value, {}, false, 0, -1});
    emit structureChanged();
    return true;
}

bool OptionSheet::clearChoices(const QString& category, const QString& caption) {
    Row* r = findRow(category, caption);
    if (!r)
        return false;
    r->choices.clear();
    emit choicesChanged(category, caption);
    return true;
}

bool OptionSheet::addChoice(const QString& category, const QString& caption,
                            const QString& choice) {
    Row* r = findRow(category, caption);
    if (!r)
        return false;
    r->choices.append(choice);
    emit choicesChanged(category, caption);
    return true;
}

bool OptionSheet::Row::takes(const QString& text) const {
    if (!hasRange())
        return true;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number >= minimum && number <= maximum;
}

bool OptionSheet::setRange(const QString& category, const QString& caption, int minimum,
                           int maximum) {
    Row* r = findRow(category, caption);
    if (!r || r->kind != Kind::Text)
        return false;
    if (r->minimum != minimum || r->maximum != maximum) {
        r->minimum = minimum;
        r->maximum = maximum;
        emit choicesChanged(category, caption);
    }
    return true;
}

bool OptionSheet::setValue(const QString& category, const QString& caption, const QString& value) {
    Row* r = findRow(category, caption);
    if (!r || !r->takes(value))
        return false;
    if (r->value != value) {
        r->value = value;
        emit valueChanged(category, caption);
    }
    return true;
}

bool OptionSheet::lock(const QString& category, const QString& caption) {
    return setLocked(category, caption, true);
}

bool OptionSheet::setLocked(const QString& category, const QString& caption, bool locked) {
    Row* r = findRow(category, caption);
    if (!r)
        return false;
    if (r->locked != locked) {
        r->locked = locked;
        emit choicesChanged(category, caption);
    }
    return true;
}

std::optional<QString> OptionSheet::value(const QString& category, const QString& caption) const {
    const Row* r = row(category, caption);
    if (!r)
        return std::nullopt;
    return r->value;
}

namespace {
struct ListRow {
    const QString& category;
    const QString& caption;
    const char* value;
    QStringList choices;
    OptionSheet::Kind kind = OptionSheet::Kind::List;
};

// The list rows in sheet order, with their starting values and choices.
const std::vector<ListRow>& listRows() {
    static const std::vector<ListRow> rows = {
        {opt::Video, opt::VideoCodec, "xvid", {"xvid", "mpeg4", "x264"}},
        {opt::Video, opt::VideoSize, "320x240", {"320x240", "480x270", "480x320", "640x480"}},
        {opt::Video,
         opt::VideoBitrate,
         "256",
         {"48", "64", "128", "192", "256", "512", "768", "1000", "1500", "1152", "2500"}},
        // A constant quality on the encoder's scale (used while Video Bitrate is "Auto").
        {opt::Video, opt::Quality, "23", {}, OptionSheet::Kind::Text},
        // Two passes for a bit rate (a closer rate, a better spread of it).
        {opt::Video, opt::TwoPass, "No", {"No", "Yes"}},
        // The output's size, for Video Bitrate "Target Size" (the video takes what the sound
        // leaves, in two passes).
        {opt::Video,
         opt::TargetSize,
         "25",
         {"8", "10", "25", "50", "100", "700"},
         OptionSheet::Kind::Text},
        {opt::Video,
         opt::VideoFramerate,
         "29.97",
         {"Auto", "8", "10", "12", "15", "23.976", "24", "25", "29.97", "30"}},
        // What the profiles of today's formats read (Flash profiles pad with Keep Aspect).
        {opt::Video, opt::KeepAspectRatio, "Yes", {"Yes", "No"}},
        {opt::Video, opt::EncodingSpeed, "Balanced", {"Fast", "Balanced", "Small File"}},
        {opt::Video, opt::Encoder, "Software", {"Software"}},
        // Subtitles drawn into the picture: none, the track chosen for the file (its default
        // or first unless chosen), or the track marked forced.
        {opt::Video, opt::BurnInSubtitles, "None", {"None", "Chosen Track", "Forced Only"}},
        // The picture's own rows; Crop also takes a window typed as W:H:X:Y.
        {opt::Video, opt::Crop, "None", {"None", "Automatic"}, OptionSheet::Kind::Text},
        {opt::Video, opt::Deinterlace, "Off", {"Off", "Automatic", "On"}},
        {opt::Video, opt::Denoise, "Off", {"Off", "Light", "Medium", "Strong"}},
        {opt::Video, opt::Rotate, "0", {"0", "90", "180", "270"}},
        {opt::Video, opt::Flip, "None", {"None", "Horizontal", "Vertical"}},
        {opt::Video, opt::SquarePixels, "No", {"No", "Yes"}},
        {opt::Audio, opt::AudioCodec, "mp3", {"mp3"}},
        {opt::Audio,
         opt::AudioBitrate,
         "128",
         {"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256",
          "320"}},
        {opt::Audio,
         opt::SampleRate,
         "44100",
         {"8000", "11025", "22050", "24000", "32000", "44100", "48000"}},
        {opt::Audio, opt::AudioChannel, "2", {"1", "2"}},
        {opt::Audio, opt::DisableAudio, "No", {"No", "Yes"}},
        {opt::Audio, opt::AVSync, "Basic", {"Basic", "Default"}},
    };
    return rows;
}
} // namespace

QStringList startingChoices(const QString& category, const QString& caption) {
    for (const ListRow& r : listRows()) {
        if (r.category == category && r.caption == caption)
            return r.choices;
    }
    return {};
}

void fillOptionSheet(OptionSheet& sheet) {
    using Kind = OptionSheet::Kind;
    sheet.clear();
    sheet.addCategory(opt::General);
    sheet.addRow(opt::General, opt::ItemName, QStringLiteral("Auto"), Kind::Text);
    sheet.addRow(opt::General, opt::Tracks, QString(), Kind::Text);
    sheet.addRow(opt::General, opt::Picture, QString(), Kind::Text);

    sheet.addCategory(opt::OutputDuration);
    for (const QString& caption : {opt::AllClipDuration, opt::StartTime, opt::StopTime})
        sheet.addRow(opt::OutputDuration, caption, QStringLiteral("00:00:00"), Kind::Text);

    for (const ListRow& r : listRows()) {
        if (!sheet.hasCategory(r.category))
            sheet.addCategory(r.category);
        sheet.addRow(r.category, r.caption, QString::fromLatin1(r.value), r.kind);
        for (const QString& choice : r.choices)
            sheet.addChoice(r.category, r.caption, choice);
    }

    for (const QString& caption : {opt::ItemName, opt::Tracks, opt::Picture})
        sheet.lock(opt::General, caption);
    for (const QString& caption : {opt::AllClipDuration, opt::StartTime, opt::StopTime})
        sheet.lock(opt::OutputDuration, caption);
}

QString shownOptionText(const QString& text) {
    static const char* const shown[] = {
        QT_TRANSLATE_NOOP("OptionSheet", "General"),
        QT_TRANSLATE_NOOP("OptionSheet", "Output Duration"),
        QT_TRANSLATE_NOOP("OptionSheet", "Video Options"),
        QT_TRANSLATE_NOOP("OptionSheet", "Audio Options"),
        QT_TRANSLATE_NOOP("OptionSheet", "Item Name"),
        QT_TRANSLATE_NOOP("OptionSheet", "Tracks"),
        QT_TRANSLATE_NOOP("OptionSheet", "Picture"),
        QT_TRANSLATE_NOOP("OptionSheet", "Burn In Subtitles"),
        QT_TRANSLATE_NOOP("OptionSheet", "All Clip Duration"),
        QT_TRANSLATE_NOOP("OptionSheet", "Start Time"),
        QT_TRANSLATE_NOOP("OptionSheet", "Stop Time"),
        QT_TRANSLATE_NOOP("OptionSheet", "Video Codec"),
        QT_TRANSLATE_NOOP("OptionSheet", "Video Size"),
        QT_TRANSLATE_NOOP("OptionSheet", "Video Bitrate"),
        QT_TRANSLATE_NOOP("OptionSheet", "Video Framerate"),
        QT_TRANSLATE_NOOP("OptionSheet", "Keep Aspect Ratio"),
        QT_TRANSLATE_NOOP("OptionSheet", "Encoding Speed"),
        QT_TRANSLATE_NOOP("OptionSheet", "Encoder"),
        QT_TRANSLATE_NOOP("OptionSheet", "Software"),
        QT_TRANSLATE_NOOP("OptionSheet", "Quality"),
        QT_TRANSLATE_NOOP("OptionSheet", "Two-Pass"),
        QT_TRANSLATE_NOOP("OptionSheet", "Target Size (MB)"),
        QT_TRANSLATE_NOOP("OptionSheet", "Target Size"),
        QT_TRANSLATE_NOOP("OptionSheet", "Crop"),
        QT_TRANSLATE_NOOP("OptionSheet", "Deinterlace"),
        QT_TRANSLATE_NOOP("OptionSheet", "Denoise"),
        QT_TRANSLATE_NOOP("OptionSheet", "Rotate"),
        QT_TRANSLATE_NOOP("OptionSheet", "Flip"),
        QT_TRANSLATE_NOOP("OptionSheet", "Square Pixels"),
        QT_TRANSLATE_NOOP("OptionSheet", "Audio Codec"),
        QT_TRANSLATE_NOOP("OptionSheet", "Audio Bitrate"),
        QT_TRANSLATE_NOOP("OptionSheet", "Sample Rate"),
        QT_TRANSLATE_NOOP("OptionSheet", "Audio Channel"),
        QT_TRANSLATE_NOOP("OptionSheet", "Disable Audio"),
        QT_TRANSLATE_NOOP("OptionSheet", "A/V Sync"),
        // word choices
        QT_TRANSLATE_NOOP("OptionSheet", "Same as source"),
        QT_TRANSLATE_NOOP("OptionSheet", "Auto"),
        QT_TRANSLATE_NOOP("OptionSheet", "Yes"),
        QT_TRANSLATE_NOOP("OptionSheet", "No"),
        QT_TRANSLATE_NOOP("OptionSheet", "Fast"),
        QT_TRANSLATE_NOOP("OptionSheet", "Balanced"),
        QT_TRANSLATE_NOOP("OptionSheet", "Small File"),
        QT_TRANSLATE_NOOP("OptionSheet", "Basic"),
        QT_TRANSLATE_NOOP("OptionSheet", "Default"),
        QT_TRANSLATE_NOOP("OptionSheet", "None"),
        QT_TRANSLATE_NOOP("OptionSheet", "Chosen Track"),
        QT_TRANSLATE_NOOP("OptionSheet", "Forced Only"),
        QT_TRANSLATE_NOOP("OptionSheet", "Automatic"),
        QT_TRANSLATE_NOOP("OptionSheet", "Off"),
        QT_TRANSLATE_NOOP("OptionSheet", "On"),
        QT_TRANSLATE_NOOP("OptionSheet", "Light"),
        QT_TRANSLATE_NOOP("OptionSheet", "Medium"),
        QT_TRANSLATE_NOOP("OptionSheet", "Strong"),
        QT_TRANSLATE_NOOP("OptionSheet", "Horizontal"),
        QT_TRANSLATE_NOOP("OptionSheet", "Vertical"),
    };
    for (const char* own : shown) {
        if (text == QLatin1String(own))
            return QCoreApplication::translate("OptionSheet", own);
    }
    return text;
}

} // namespace clipvane
