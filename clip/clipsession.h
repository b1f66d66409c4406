#pragma once

#include "player/previewplayer.h"
#include "sources/sourcelist.h"

#include <QObject>
#include <QString>

namespace clipvane {

class ToolKeys;

// What the clip dialog opens with: the chosen row's file, clip times and length, and the row
// itself, so that OK writes to that row and no other.
struct ClipOpening {
    SourceList::Id row = 0;
    QString sourcePath;
    // Hundredths of a second; nothing where the row has none.
    std::optional<qint64> start;
    std::optional<qint64> end;
    std::optional<qint64> length; // as the row shows it (Video Time)
    MediaFacts facts;             // the exact length and the frame rate, where the probe found them
    double pictureAspect = 0;     // the picture's display aspect, 0 when unknown
    // The selected row of the list, or nothing when no row is chosen.
    static std::optional<ClipOpening> fromSelectedRow(const SourceList& list, int selectedRow);
};

// The clip dialog without its widgets: the start and end times chosen with two sliders, the
// clip length, OK's check and write-back, and the dialog's own player (a second player over
// the shared player state, playing the dialog's file into the dialog's surface).
class ClipSession : public QObject {
    Q_OBJECT
public:
    ClipSession(const ClipOpening& opening, PlayerState* state, ToolKeys* keys,
                QObject* parent = nullptr);

    // Loading: the texts, the sliders' ranges and values, the caption.
    void load();
    // The start, end and clip length as H:MM:SS(.cc), and the range of both time sliders.
    QString startText() const;
    QString endText() const;
    QString clipText() const;
    qint64 sliderMaximum() const { return m_total; }
    qint64 startSliderValue() const { return m_startValue; }
    qint64 endSliderValue() const { return m_endValue; }
    QString caption() const;

    // A time slider let go: its time becomes the start or end text.
    void startSliderReleased(qint64 seconds);
    void endSliderReleased(qint64 seconds);
    // A time typed into the start or end box, "H:MM:SS" or "H:MM:SS.cc": kept within the file
    // and shown as the box's text, with the slider at its second. Its hundredths, or nothing
    // (the box keeps its old time) when the text is not a time.
    enum class Edge { Start, End };
    std::optional<qint64> typeTime(Edge edge, const QString& text);

    enum class OkResult { Refused, Written, RowGone };
    // OK: a start at or after the end is refused (the dialog stays open); otherwise the times
    // go to the dialog's own row, if it is still there, and the player is told to quit.
    OkResult ok(SourceList& list);
    // Leaving the dialog, by OK, Cancel or the close box: the player quits and the clock stops.
    void unload();

    PreviewPlayer& player() { return m_player; }

    static constexpr const char* kRefusal =
        QT_TRANSLATE_NOOP("ClipSession", "Start time or End time is error.");
    // kRefusal in the user's language.
    static QString refusal();

private:
    ClipOpening m_opening;
    PreviewPlayer m_player;
    std::optional<qint64> m_start; // hundredths
    std::optional<qint64> m_end;
    qint64 m_total = 0;      // the slider's range: whole seconds of the length as shown
    qint64 m_fileLength = 0; // hundredths: how far a typed time may go
    qint64 m_startValue = 0;
    qint64 m_endValue = 0;
    bool m_unloaded = false;
};

} // namespace clipvane
