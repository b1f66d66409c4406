#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace clipvane {

// The option set: named categories of captioned rows, each holding a text value. It is the
// only place the encoding choices live; the property grid on the window only shows it.
// Lookups are by category name and row caption; an operation on a missing category or row
// does nothing and returns false.
class OptionSheet : public QObject {
    Q_OBJECT
public:
    enum class Kind { Text, List };

    struct Row {
        QString caption;
        Kind kind = Kind::Text;
        QString value;
        QStringList choices; // a text row's suggestions (it takes what is typed as well)
        bool locked = false;
        // A text row that takes whole numbers only, from minimum to maximum (maximum below
        // minimum: any text).
        int minimum = 0;
        int maximum = -1;
        bool hasRange() const { return maximum >= minimum; }
        bool takes(const QString& text) const;
    };
    struct Category {
        QString name;
        std::vector<Row> rows;
    };

    explicit OptionSheet(QObject* parent = nullptr) : QObject(parent) {}

    void clear();
    bool addCategory(const QString& name);
    bool hasCategory(const QString& name) const;
    bool addRow(const QString& category, const QString& caption, const QString& value, Kind kind);
    bool clearChoices(const QString& category, const QString& caption);
    bool addChoice(const QString& category, const QString& caption, const QString& choice);
    // Refused (false) for a value outside the row's range.
    bool setValue(const QString& category, const QString& caption, const QString& value);
    // Makes a text row take whole numbers from minimum to maximum only (the value stays).
    bool setRange(const QString& category, const QString& caption, int minimum, int maximum);
    bool lock(const QString& category, const QString& caption);
    // Locks or unlocks a row (a profile greys the rows that do nothing for it).
    bool setLocked(const QString& category, const QString& caption, bool locked);

    std::optional<QString> value(const QString& category, const QString& caption) const;
    const Row* row(const QString& category, const QString& caption) const;
    const std::vector<Category>& categories() const { return m_categories; }

signals:
    void structureChanged();
    void valueChanged(const QString& category, const QString& caption);
    void choicesChanged(const QString& category, const QString& caption);

private:
    Category* findCategory(const QString& name);
    Row* findRow(const QString& category, const QString& caption);

    std::vector<Category> m_categories;
};

// Builds the sheet from nothing with every encoding choice and its initial value.
void fillOptionSheet(OptionSheet& sheet);

// The choices fillOptionSheet gives a row (empty for a text row or an unknown one).
QStringList startingChoices(const QString& category, const QString& caption);

// How the sheet shows one of its own texts (a category, a row caption or a word choice such as
// "Yes" or "Balanced") in the user's language. The sheet itself, the settings and the
// encoder keep the English text; anything else (numbers, sizes, codec names, a typed name)
// is shown as it is.
QString shownOptionText(const QString& text);

// Category names and row captions used throughout the program.
namespace opt {
inline const QString General = QStringLiteral("General");
inline const QString OutputDuration = QStringLiteral("Output Duration");
inline const QString Video = QStringLiteral("Video Options");
inline const QString Audio = QStringLiteral("Audio Options");
inline const QString ItemName = QStringLiteral("Item Name");
// The item page's tracks of the shown file, as they will be kept.
inline const QString Tracks = QStringLiteral("Tracks");
// The item page's findings of the shown file's picture (size, black bars, interlacing).
inline const QString Picture = QStringLiteral("Picture");
inline const QString AllClipDuration = QStringLiteral("All Clip Duration");
inline const QString StartTime = QStringLiteral("Start Time");
inline const QString StopTime = QStringLiteral("Stop Time");
inline const QString VideoCodec = QStringLiteral("Video Codec");
inline const QString VideoSize = QStringLiteral("Video Size");
inline const QString VideoBitrate = QStringLiteral("Video Bitrate");
inline const QString VideoFramerate = QStringLiteral("Video Framerate");
inline const QString KeepAspectRatio = QStringLiteral("Keep Aspect Ratio");
inline const QString EncodingSpeed = QStringLiteral("Encoding Speed");
// The video encoder: "Software", or one in the graphics hardware this machine has.
inline const QString Encoder = QStringLiteral("Encoder");
inline const QString BurnInSubtitles = QStringLiteral("Burn In Subtitles");
inline const QString Quality = QStringLiteral("Quality");
inline const QString TwoPass = QStringLiteral("Two-Pass");
// The whole output's size in MB (1,000,000 bytes) while Video Bitrate is "Target Size".
inline const QString TargetSize = QStringLiteral("Target Size (MB)");
inline const QString Crop = QStringLiteral("Crop");
inline const QString Deinterlace = QStringLiteral("Deinterlace");
inline const QString Denoise = QStringLiteral("Denoise");
inline const QString Rotate = QStringLiteral("Rotate");
inline const QString Flip = QStringLiteral("Flip");
inline const QString SquarePixels = QStringLiteral("Square Pixels");
inline const QString AudioCodec = QStringLiteral("Audio Codec");
inline const QString AudioBitrate = QStringLiteral("Audio Bitrate");
inline const QString SampleRate = QStringLiteral("Sample Rate");
inline const QString AudioChannel = QStringLiteral("Audio Channel");
inline const QString DisableAudio = QStringLiteral("Disable Audio");
inline const QString AVSync = QStringLiteral("A/V Sync");
} // namespace opt

} // namespace clipvane
