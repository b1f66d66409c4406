#pragma once

#include "convert/batchrun.h"
#include "convert/runestimate.h"
#include "sources/sourcelist.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace clipvane {

// The progress panel's figures for a batch run, worked out from the run's signals: the
// caption naming the file being converted, a bar for the current item (the one furthest
// behind when several convert at once), a bar for the whole list, the converting clock and the
// time left. The panel only shows them.
class BatchProgress : public QObject {
    Q_OBJECT
public:
    BatchProgress(BatchRun* run, const SourceList* list, QObject* parent = nullptr);

    QString elapsedText() const;
    bool clockRunning() const { return m_clock.isActive(); }

    static constexpr const char* kPanelCaption = QT_TR_NOOP("Progress....");

signals:
    void panelVisibleChanged(bool visible);
    void captionChanged(const QString& caption);
    void itemProgressChanged(int value);
    void totalProgressChanged(int value);
    void elapsedTextChanged(const QString& text);
    // "Time left: 0:01:23", "Time left: estimating…" early on, or "Paused".
    void timeLeftChanged(const QString& text);

private:
    struct Item {
        qint64 clipSeconds = 0;
        int progress = 10;
        double reportedSeconds = 0;
        bool reported = false; // the encoder has said how far it is
        int pollsSinceStep = 0;
    };

    void onBusy(bool busy);
    void onBegan(qint64 totalClipSeconds);
    void onStarted(SourceList::Id id, const QString& input, const QString& output,
                   qint64 clipSeconds);
    void onPolled(SourceList::Id id, std::optional<double> reportedSeconds);
    void onDone(SourceList::Id id);
    void onPaused(bool paused);
    void onFinished(const RunOutcome& outcome);
    void showLeastAdvanced();
    void showTimeLeft();
    qint64 runningMs() const;
    void setVisible(bool visible);
    void setItemBar(int value);
    void setTotalBar(int value);

    BatchRun* m_run;
    const SourceList* m_list;
    QHash<SourceList::Id, Item> m_items; // the items under way
    bool m_visible = false;
    int m_itemBar = 0;
    int m_totalBar = 0;
    int m_completedShare = 0;
    QTimer m_clock;
    qint64 m_elapsed = 0;
    RunEstimate m_estimate;
    double m_convertedSeconds = 0; // clip seconds of the items finished so far
    QElapsedTimer m_wallClock;
    QElapsedTimer m_pauseClock;
    qint64 m_pausedMs = 0; // paused before the current pause
    bool m_paused = false;
};

} // namespace clipvane
