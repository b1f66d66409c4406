#pragma once

#include "convert/outputcheck.h"
#include "convert/outputfiles.h"
#include "convert/runestimate.h"
#include "process/tooljob.h"
#include "settings/preferences.h"
#include "sources/sourcelist.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace clipvane {

class OptionSheet;
class ToolKeys;
class DesktopServices;
class MessageBoxes;

// Convert Now: converts every source item, top to bottom, one encoder run at a time, and
// keeps the progress panel, the row statuses and the user informed.
//
// The run is driven by signals: start() starts it and returns, and each item starts when
// an encoder before it has finished. Up to "parallel" items convert at once (one unless the
// settings say more). Nothing waits in a nested loop, so a dialog or
// message box opened meanwhile never holds the batch up.
class BatchRun : public QObject {
    Q_OBJECT
public:
    struct Environment {
        SourceList* list = nullptr;
        OptionSheet* sheet = nullptr;
        std::function<int()> profileIndex; // 1-based entry of the picker, 0 when none
        ToolKeys* keys = nullptr;
        DesktopServices* desktop = nullptr;
        MessageBoxes* messages = nullptr;
    };

    // How long an encoder may get nowhere before it is stopped, and how long the look at an
    // output may take; tests shorten them.
    static constexpr int kStallLimitMs = 60000;
    struct Limits {
        int stallMs = kStallLimitMs;
        int checkMs = OutputCheck::kTimeoutMs;
    };

    explicit BatchRun(const Environment& env, QObject* parent = nullptr);
    ~BatchRun() override;

    void setLimits(const Limits& limits) { m_limits = limits; }

    // Whether Convert Now would start a run now (none is going and the list has rows).
    bool canStart() const;
    // Starts a run over the list and returns; ignored while a run is going. When files are
    // still being examined the run begins once they all have been.
    void start();
    // Cancel ("Stop now"): stops every item under way and ends the run.
    void cancel();
    // "Skip this file": the item furthest behind is cancelled and the run goes on with the
    // next. Items whose encoder has finished and whose file is being checked are left be.
    void skipCurrent();
    // "Finish this file, then stop": the items under way finish, no further one starts.
    void finishCurrentThenStop();
    bool isFinishingUp() const { return m_finishingUp; }
    // Pause: every running encoder (and whatever it started) stops where it is, and the
    // clock and the time left with it; false goes on.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }

    bool isRunning() const { return m_running; }
    bool waitingForProbes() const { return m_waitingForProbes; }
    bool panelVisible() const { return m_panelVisible; }
    int itemProgress() const { return m_itemProgress; }
    int totalProgress() const { return m_total; }
    QString elapsedText() const;
    bool timerRunning() const { return m_elapsedClock.isActive(); }

    static constexpr const char* kPanelCaption = QT_TR_NOOP("Progress....");
    // A row of this run that has not started yet.
    static constexpr const char* kWaitingStatus = "Waiting";
    static constexpr const char* kCancelledMessage = QT_TR_NOOP("Conversion Canceled by the user!");
    // How long a cancelled encoder has to stop after "q" before it is terminated.
    static constexpr int kStopGraceMs = 5000;
    // How many runs' encoder logs of earlier sessions are kept (this session's all stay).
    static constexpr int kKeptRunLogs = 3;
    static constexpr int kShutdownCountdownSeconds = 60;

signals:
    void panelVisibleChanged(bool visible);
    void panelCaptionChanged(const QString& caption);
    void itemProgressChanged(int value);
    void totalProgressChanged(int value);
    void elapsedTextChanged(const QString& text);
    void busyChanged(bool busy);
    void pausedChanged(bool paused);
    // The encoder of an item has started (for observers such as benchmarks).
    void encoderStarted(qint64 processId);
    // A run has ended: completed, cancelled or stopped at a missing input.
    void runFinished();
    // "Time left: 0:01:23", or "Time left: estimating…" early on.
    void timeLeftChanged(const QString& text);
    // Whether the computer shuts down when this run ends.
    void autoShutChanged(bool on);
    // Something the user should know that is no failure of a file (for the status bar).
    void notice(const QString& text);

private:
    // One item under way: its encoder, then the look at its output.
    struct Item {
        SourceList::Id id = 0;
        QString input;
        QString output;
        QString encodePath;      // the hidden file the encoder writes, which becomes the output
        FileIdentity encodeFile; // what this item created under that name
        FileHold hold;           // keeps it from being taken for a leftover
        // What the output's name held when the item began (nothing: the name was free); an
        // overwrite replaces only that.
        std::optional<FileIdentity> oldOutput;
        bool expectVideo = true; // false for a sound-only output
        QString note;
        QString errorLines;
        qint64 clipSeconds = 0;
        int pollsSinceStep = 0;
        bool reported = false;
        int progress = 10;
        double reportedSeconds = 0;
        QPointer<ToolJob> job;
        QPointer<OutputCheck> check;
    };
    enum class ItemStart { Started, Skipped, StopRun };
    void beginItems();
    void startNextItem();
    int parallelNow() const;
    ItemStart startItem(SourceList::Id id);
    void onPolled(Item* item, std::optional<double> reportedSeconds);
    void onItemFinished(Item* item, const ToolJobResult& result);
    void onOutputChecked(Item* item, const QString& failure);
    void finishItem(Item* item, const QString& failure);
    // Gives the item's checked file its name; why not, or empty.
    QString publish(Item* item);
    // For the program's quick exit: the items still under way are seen through by a
    // finisher of their own.
    void handOver();
    void showLeastAdvanced();
    void showTimeLeft();
    void removeInFlight(Item* item);
    // Stops the encoders under way and ends the run once the checks under way have decided,
    // saying message (if any) then.
    void stopRun(const QString& message);
    // Stops one item's encoder (or check) and removes its partial file; its row says Cancel.
    void stopItem(Item* item);
    int encodingCount() const;
    void countFinished();
    void clearWaitingRows();
    void endPause(); // at the run's end: nothing is left to go on
    qint64 runningMs() const;
    void complete();
    void endRunEarly(); // after a cancel or a missing input
    void failItem(SourceList::Id id, const QString& reason);
    QString nextLogPath();
    void onElapsedTick();
    void setPanelVisible(bool visible);
    void setItemProgress(int value);
    void setTotal(int value);
    void setPanelCaption(const QString& caption);

    Environment m_env;
    Limits m_limits;
    QTimer m_elapsedClock;
    bool m_running = false;
    bool m_waitingForProbes = false;
    bool m_finishingUp = false;
    bool m_stopping = false;
    QString m_stopMessage;
    bool m_paused = false;
    QElapsedTimer m_pauseClock;
    qint64 m_pausedMs = 0; // how long this run has been paused, before the current pause
    bool m_panelVisible = false;
    QString m_panelCaption;
    int m_itemProgress = 0;
    int m_total = 0;
    int m_completedShare = 0;
    qint64 m_elapsed = 0;

    // This run.
    RunSettings m_settings;
    std::vector<SourceList::Id> m_identifyLines;
    size_t m_next = 0;
    int m_itemsTried = 0;
    int m_failed = 0;
    QStringList m_reservedOutputs; // outputs this run has written or is writing
    int m_runNumber = 0;
    std::vector<std::unique_ptr<Item>> m_inFlight;
    RunEstimate m_estimate;
    QElapsedTimer m_wallClock;
    double m_convertedSeconds = 0; // clip seconds of the items finished so far
};

} // namespace clipvane
