#pragma once

#include "sources/streamfacts.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace clipvane {

// What the probe learned of a file beyond its columns.
struct MediaFacts {
    double seconds = 0;   // the exact length (0: unknown); End and Video Time show it rounded
    double frameRate = 0; // frames per second of the picture (0: unknown)
};

// The output profile a row keeps for itself instead of following the profile picker: the
// catalogue entry and the option sheet's values it is converted with.
struct RowProfile {
    QString caption; // the catalogue's caption (English: it names the output's extension)
    QString shown;   // as the Profile column shows it
    // The sheet's values, by "Category/Caption" (as settings.dat keeps a profile's values).
    QList<std::pair<QString, QString>> options;
    bool operator==(const RowProfile& other) const = default;
};

// How close a row's last output came to its source clip, measured on a sample of frames.
struct OutputScore {
    double ssim = 0; // 0 to 1: 1 is the same picture
    double psnr = 0; // in dB; infinity when the frames compared are the same
    bool operator==(const OutputScore& other) const = default;
    // In words: "excellent" from 0.98, "good" from 0.95, else "visible losses".
    enum class Verdict { Excellent, Good, VisibleLosses };
    Verdict verdict() const;
    // What the Quality column shows ("SSIM 0.987"), and its tooltip.
    QString text() const;
    QString explanation() const;
};

// What a row's output is expected to weigh (the Estimate column).
struct SizeEstimate {
    enum class Basis {
        Rates,   // the bit rates are fixed: known from them and the clip's length
        Target,  // the Target Size asked for
        Samples, // a constant quality: measured on short sample encodes of the clip
    };
    qint64 bytes = 0;
    Basis basis = Basis::Rates;
    bool operator==(const SizeEstimate& other) const = default;
    // "41.3 MB" ("≈ 41 MB" when sampled), and the tooltip's words on how it was found.
    QString text() const;
    QString explanation() const;
};

// "41.3 MB", "1.24 GB", "830 kB": a size for people, in units of 1000 as the estimate counts.
QString sizeText(double bytes);

// The source list: one row per input file, ten columns. Every row has an id that never
// changes and is never reused, so work that outlives a row (a probe, a batch item) writes by
// id, and a removed row simply takes no more writes. The clip times and the length are kept as
// numbers (hundredths of a second) and shown as H:MM:SS(.cc) in Start, End and Video Time;
// the other columns hold text.
class SourceList : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        FileName,
        Start,
        End,
        Size,
        Format,
        Status,
        VideoTime,
        Profile,
        Estimate,
        Quality,
        ColumnCount
    };
    using Id = quint64;

    explicit SourceList(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    static QString caption(int column);
    // Whether the column is centred.
    static bool centred(int column);

    Id append(const QString& path); // a new row at the end; duplicates allowed
    bool contains(Id id) const { return rowOf(id) >= 0; }
    int rowOf(Id id) const;
    Id idAt(int row) const;
    int count() const { return static_cast<int>(m_items.size()); }
    // A column as it shows (the times rendered).
    QString text(Id id, int column) const;
    QString textAt(int row, int column) const;
    // Sets a text column (File Name, Size, Format, Status); the time columns, the profile
    // and the quality are set below.
    void setText(Id id, int column, const QString& value);
    // The clip, in hundredths of a second from the file's start (nothing: not known).
    void setClip(Id id, std::optional<qint64> start, std::optional<qint64> end);
    std::optional<qint64> clipStart(Id id) const;
    std::optional<qint64> clipEnd(Id id) const;
    // The file's length as shown (see shownLength), in hundredths; nothing when unknown.
    void setLength(Id id, std::optional<qint64> shown);
    std::optional<qint64> length(Id id) const;
    // A longer explanation shown as the row's tooltip (why a conversion failed).
    void setNote(Id id, const QString& note);
    QString note(Id id) const;
    void setMediaFacts(Id id, const MediaFacts& facts);
    MediaFacts mediaFacts(Id id) const;
    // The encoder's log of the row's last conversion, for "Show Encoder Log".
    void setLogPath(Id id, const QString& path);
    QString logPath(Id id) const;
    // What the probe learned beyond the columns: the picture's display aspect (width / height,
    // its sample aspect honoured; 0 when unknown) and whether the file is known to hold no
    // sound.
    void setPictureAspect(Id id, double aspect);
    double pictureAspect(Id id) const;
    void setSoundless(Id id, bool soundless);
    bool isSoundless(Id id) const;
    // Where the row's last conversion wrote its file (empty: none yet).
    void setOutputPath(Id id, const QString& path);
    QString outputPath(Id id) const;
    // The row's own output profile; nothing: it follows the picker, whose profile the
    // Profile column then shows as followedProfile.
    void setRowProfile(Id id, const std::optional<RowProfile>& profile);
    std::optional<RowProfile> rowProfile(Id id) const;
    void setFollowedProfile(const QString& shown);
    // The file's tracks, chapters and colours as the probe listed them (the tooltip names
    // them), and which of them the user chose to keep (the default: the profile decides).
    void setStreamFacts(Id id, const StreamFacts& facts);
    StreamFacts streamFacts(Id id) const;
    void setTrackChoice(Id id, const TrackChoice& choice);
    TrackChoice trackChoice(Id id) const;
    // How the row's last output compares with its source (the Quality column); nothing: not
    // measured.
    void setScore(Id id, const std::optional<OutputScore>& score);
    std::optional<OutputScore> score(Id id) const;
    // What the row's output is expected to weigh (the Estimate column); nothing: not known
    // (yet). pending marks an estimate being measured ("…").
    void setEstimate(Id id, const std::optional<SizeEstimate>& estimate, bool pending = false);
    std::optional<SizeEstimate> estimate(Id id) const;
    void removeAt(int row);
    // Moves the row at from so that it stands at row to; false when either is out of range.
    bool moveRow(int from, int to);
    void clearAll();

    // Files still being examined, or being added: work that needs their probed values (a
    // batch) waits for probesFinished. Calls nest: a whole drop or dialog choice is one.
    void beginProbe() { ++m_pendingProbes; }
    void endProbe();
    int pendingProbes() const { return m_pendingProbes; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A row whole, as a removal takes it away and an undo or a restored queue puts it back.
    struct Item {
        Id id = 0;
        std::array<QString, ColumnCount> columns; // the text columns
        std::optional<qint64> start;
        std::optional<qint64> end;
        std::optional<qint64> length;
        QString note;
        QString logPath;
        MediaFacts facts;
        double pictureAspect = 0;
        bool soundless = false;
        QString output;
        std::optional<RowProfile> profile;
        StreamFacts streams;
        TrackChoice tracks;
        std::optional<OutputScore> score;
        std::optional<SizeEstimate> estimate;
        bool estimatePending = false;
    };
    Item itemAt(int row) const;
    // Puts a row back at row (clamped to the list) under its own id, or under a new one when
    // its id is 0. Returns the id, or 0 when a row with that id is in the list.
    Id insertItem(int row, Item item);

signals:
    void probesFinished();

private:
    static bool isTime(int column) {
        return column == Start || column == End || column == VideoTime;
    }
    // Columns shown from numbers or choices, never set as text.
    static bool isDerived(int column) {
        return isTime(column) || column == Profile || column == Estimate || column == Quality;
    }
    QString shown(const Item& item, int column) const;
    Item* find(Id id);
    const Item* find(Id id) const;

    std::vector<Item> m_items;
    Id m_nextId = 1;
    QString m_followedProfile;
    int m_pendingProbes = 0;
};

} // namespace clipvane
