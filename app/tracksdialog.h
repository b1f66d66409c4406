#pragma once

#include "sources/streamfacts.h"

#include <QDialog>

class QComboBox;
class QListWidget;

namespace clipvane {

// "Audio Tracks…" and "Subtitles…": which of a file's tracks its output keeps, ticked in a
// list, and for subtitles the one drawn into the picture when Burn In Subtitles is "Chosen
// Track". The choice starts as the row's and is read back with choice() after OK.
class TracksDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Audio, Subtitles };

    TracksDialog(Kind kind, const QString& inputPath, const StreamFacts& facts,
                 const TrackChoice& choice, QWidget* parent = nullptr);

    TrackChoice choice() const;
    QListWidget* trackList() const { return m_list; }
    QComboBox* burnInCombo() const { return m_burnIn; }

private:
    Kind m_kind;
    qsizetype m_count;
    TrackChoice m_choice;
    QListWidget* m_list;
    QComboBox* m_burnIn = nullptr;
};

} // namespace clipvane
