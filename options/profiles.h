#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace clipvane {

class OptionSheet;

// The fixed catalogue of output profiles, in picker order (index 1 is the first entry).
struct ProfileEntry {
    QString caption;
    bool isHeading;
    // The profiles of today's formats (entry 5 on) name their codecs as the option sheet
    // shows them; the Flash entries and the headings leave both empty.
    QString videoCodec = {}; // "H.264", "H.265", "VP9", "AV1"; empty for sound only
    QString audioCodec = {}; // "aac", "opus", "mp3"

    bool isTodaysFormat() const { return !audioCodec.isEmpty(); }
    bool isSoundOnly() const { return isTodaysFormat() && videoCodec.isEmpty(); }
};
const QList<ProfileEntry>& profileCatalogue();

// How the picker shows a catalogue caption in the user's language. The settings and presets
// keep the English caption, which also names the output's extension.
QString shownProfileCaption(const QString& caption);

// A profile as a narrow column names it: the container and its picture's codec ("MP4 H.264",
// "WebM VP9", "FLV", "MP3"); the caption itself for anything not in the catalogue.
QString profileLabel(const QString& caption);

// The 1-based entry, or nothing when the index names none.
const ProfileEntry* profileAt(int index);
// The entry with that caption, or nothing.
const ProfileEntry* profileByCaption(const QString& caption);

// The picker's pick: sets the profile's option rows. index is 1-based; 0 (no selection)
// and the header entries leave the sheet as it is.
void applyProfilePick(OptionSheet& sheet, int index);

// The hardware encoders this machine was found to have, by video codec ("H.264": {"VAAPI",
// "NVENC"}): the "Encoder" row offers them beside "Software" for the profiles of that codec.
void setHardwareEncoders(const QHash<QString, QStringList>& byCodec);
// Gives the sheet's "Encoder" row the choices of the profile at index (after a search ends).
void offerHardwareEncoders(OptionSheet& sheet, int index);

// The 1-based entry named by the "profile" setting, or 0 when it names none.
int profileIndexFromSetting(const QString& stored);
// The entry picked when no profile was ever stored (a first start): MP4 with H.264 and AAC,
// which every device and browser plays.
int firstStartProfileIndex();
// The entry a start picks for the stored "profile" text: the first-start entry when nothing is
// stored, else the entry the text names (0 when it names none).
int startProfileIndex(const QString& stored);

// The output extension of a profile caption: the text between its "(*" and the ")" after
// it (".flv", ".webm"), or nothing for a caption without one.
std::optional<QString> outputExtension(const QString& caption);

// A video encoder's constant-quality scale ("Quality"): lowest to highest, and the profile's
// default; lower values are better for every encoder here.
struct QualityScale {
    int lowest = 0;
    int highest = 51;
    int standard = 23;
};
// The scale of a "Video Codec" of today's formats ("H.264", "H.265", "VP9", "AV1"); nothing
// for any other.
std::optional<QualityScale> qualityScale(const QString& videoCodec);

// Values of the rows the profiles of today's formats add meaning to.
namespace choice {
inline const QString SameAsSource = QStringLiteral("Same as source");
inline const QString Auto = QStringLiteral("Auto");
// "Video Bitrate": the rate that gives the output the size of the "Target Size (MB)" row.
inline const QString TargetSize = QStringLiteral("Target Size");
inline const QString Yes = QStringLiteral("Yes");
inline const QString No = QStringLiteral("No");
inline const QString Fast = QStringLiteral("Fast");
inline const QString Balanced = QStringLiteral("Balanced");
inline const QString SmallFile = QStringLiteral("Small File");
inline const QString None = QStringLiteral("None");
inline const QString ChosenTrack = QStringLiteral("Chosen Track");
inline const QString ForcedOnly = QStringLiteral("Forced Only");
inline const QString Automatic = QStringLiteral("Automatic");
inline const QString Off = QStringLiteral("Off");
inline const QString On = QStringLiteral("On");
inline const QString Light = QStringLiteral("Light");
inline const QString Medium = QStringLiteral("Medium");
inline const QString Strong = QStringLiteral("Strong");
inline const QString Horizontal = QStringLiteral("Horizontal");
inline const QString Vertical = QStringLiteral("Vertical");
} // namespace choice

} // namespace clipvane
