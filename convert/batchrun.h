#pragma once

#include "convert/encodercommand.h"
#include "convert/itemfinisher.h"
#include "convert/outputcheck.h"
#include "convert/outputfiles.h"
#include "convert/qualityscore.h"
#include "process/tooljob.h"
#include "settings/preferences.h"
#include "sources/sourcelist.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace clipvane {

class OptionSheet;
class ToolKeys;

// How a run ended, for whoever tells the user (RunCompletion) and for observers.
struct RunOutcome {
    enum class End {
        Completed,    // every row was visited
        Cancelled,    // Stop now, or the files under way finished after "Finish this file"
        MissingInput, // a row's file was not there: the run stopped before it
    };
    End end = End::Completed;
    int tried = 0;     // rows the run tried to convert
    int failed = 0;    // of those, the ones that failed
    int converted = 0; // and the ones whose file was written
    QString missingInput;
    QString outputFolder; // where the outputs went (beside the sources: the first one's folder)
};

// Convert Now: converts every row of the source list, top to bottom, and says what happens to
// each in its Status column. The engine only: the progress panel's figures come from
// BatchProgress and what is said at the end from RunCompletion, both fed by its signals.
//
// The run is driven by signals: start() starts it and returns, and each item starts when an
// encoder before it has finished. Up to "parallel" items convert at once. The next item is
// always the highest waiting row as the list stands then, so waiting rows can be reordered
// while the run goes. A row with its own profile is converted with it (see rowEncoding). Nothing
// waits in a nested loop, so a dialog or message box opened meanwhile never holds the batch up. An
// item's output is checked beside the next item's encode and takes its name only once it is good.
class BatchRun : public QObject {
    Q_OBJECT
public:
    struct Environment {
        SourceList* list = nullptr;
        OptionSheet* sheet = nullptr;
        std::function<int()> profileIndex; // 1-based entry of the picker, 0 when none
        ToolKeys* keys = nullptr;
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
    // Rows some other process is seeing through (a finisher of an earlier session): a run
    // leaves them be.
    void setHeldElsewhere(std::function<bool(SourceList::Id)> held) {
        m_heldElsewhere = std::move(held);
    }
    // Where the finisher records what became of the items it was handed (see queuefile.h);
    // empty: it records nothing.
    void recordOutcomesIn(const QString& folder, const QString& queueId) {
        m_outcomesFolder = folder;
        m_queueId = queueId;
    }

    // Whether Convert Now would start a run now (none is going and the list has rows).
    bool canStart() const;
    // Starts a run over the list with these settings and returns. What would fail every item
    // (see checkBeforeRun) is returned instead, and nothing starts. When files are still being
    // examined the run begins once they all have been.
    std::optional<QString> start(const RunSettings& settings);
    // A changed "files at once" setting reaches the run under way at its next start of an item.
    void setParallel(int parallel);
    // Cancel ("Stop now"): stops every item under way and ends the run.
    void cancel();
    // "Skip this file": the item furthest behind is cancelled and the run goes on with the
    // next. Items whose encoder has finished and whose file is being checked are left be.
    void skipCurrent();
    // "Finish this file, then stop": the items under way finish, no further one starts.
    void finishCurrentThenStop();
    // Pause: every running encoder (and whatever it started) stops where it is; false goes on.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // A row whose encoder runs or whose file is being checked.
    bool isUnderWay(SourceList::Id id) const;
    // A row of the run under way that has not started yet.
    bool isWaiting(SourceList::Id id) const { return m_running && m_pending.contains(id); }
    int underWayCount() const { return static_cast<int>(m_inFlight.size()); }
    // Rows of the run still waiting (in the list).
    int waitingCount() const;
    // Rows about to be taken out of the list: waiting ones are left out, those under way are
    // stopped as "Skip this file" stops them (their rows say Cancel, no file is left). The
    // next item starts once the list has changed. (Rows taken out without this are let go
    // the same way, as they leave.)
    void letGo(const QList<SourceList::Id>& ids);
    // The items under way as a finisher would take them over (for the queue file).
    QList<HandedOverItem> underWay() const;
    // The program quits and the user chose "Stop now": at the quick exit the items under way
    // are handed over to be stopped (their partial files removed), not finished; their rows
    // say Cancel now and the waiting rows say nothing.
    void stopAtExit();

    bool isRunning() const { return m_running; }
    bool waitingForProbes() const { return m_waitingForProbes; }
    // Compares each good video output with its source (when the run's settings ask for it),
    // one after the other beside the encodes, and writes the rows' Quality; it may go on
    // after the run has ended.
    QualityScorer& scorer() { return m_scorer; }

    // A row of this run that has not started yet.
    static constexpr const char* kWaitingStatus = "Waiting";
    // How long a cancelled encoder has to stop after "q" before it is terminated.
    static constexpr int kStopGraceMs = 5000;
    // How many runs' encoder logs of earlier sessions are kept (this session's all stay).
    static constexpr int kKeptRunLogs = 3;

signals:
    void busyChanged(bool busy);
    void pausedChanged(bool paused);
    // The rows of the run are fixed and its first item is about to start: how many clip
    // seconds the run will convert.
    void runBegan(qint64 totalClipSeconds);
    // An item's encoder has been started: its file, its output and its clip's length.
    void itemStarted(clipvane::SourceList::Id id, const QString& input, const QString& output,
                     qint64 clipSeconds);
    // The encoder of an item has started (for observers such as benchmarks).
    void encoderStarted(qint64 processId);
    // Every look at a running encoder: the time it last reported, if any.
    void itemPolled(clipvane::SourceList::Id id, std::optional<double> reportedSeconds);
    // The item's encoder has finished well; its file is being checked.
    void itemEncoded(clipvane::SourceList::Id id);
    // The item that ran is done (OK, Fail, or skipped): it counts towards the whole list.
    void itemDone(clipvane::SourceList::Id id);
    // The item was stopped with the run and does not count.
    void itemStopped(clipvane::SourceList::Id id);
    void runFinished(const clipvane::RunOutcome& outcome);
    // At the program's quick exit: the items under way were handed to a finisher with that
    // process id (0 when it could not be started).
    void handedOver(qint64 finisherId, const QList<clipvane::HandedOverItem>& items);

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
        QStringList trackNotes; // what the output could not hold of the source, or changed
        int decodingErrors = 0; // the encoder's complaints about the source's damaged parts
        QString errorLines;
        qint64 clipSeconds = 0;
        double clipStart = 0;       // where the clip starts in the source, in seconds
        double clipLength = 0;      // its exact length (as passed with -t)
        double reportedSeconds = 0; // how far its encoder has said it is
        QPointer<ToolJob> job;
        QPointer<OutputCheck> check;
        // The same command with the software encoder, while a hardware encoder's failure
        // may still be retried with it.
        std::optional<ToolCommand> softwareCommand;
        // Two-Pass: the second pass, while the first runs; and the private folder of their
        // log, removed with the item (or, when it is stopped, once its encoder has ended).
        std::optional<ToolCommand> secondPass;
        std::shared_ptr<QTemporaryDir> passFolder;
    };
    enum class Prepared { Ready, Failed, MissingInput };

    void beginItems();
    void startNextItem();
    // The highest row of the list the run has yet to start, if any.
    std::optional<SourceList::Id> nextWaitingRow() const;
    // Everything before the encoder: the row's file and options, the command, and the output's
    // name reserved on disk.
    Prepared prepareItem(SourceList::Id id, std::unique_ptr<Item>& item, ToolCommand& command);
    // The item's command, built again while its name is taken, and its output's name reserved
    // on disk: the hidden file the encoder writes, created only if no one else has made it
    // (fellBack: the output folder took the file when the source's refused it). Nothing when
    // the item failed (its row says why).
    struct Reservation {
        EncoderCommand built;
        std::optional<ToolCommand> softwareCommand; // should hardware fail
        FileIdentity file;
    };
    std::optional<Reservation> reserveOutput(SourceList::Id id, EncoderInputs& in, bool* fellBack);
    // Starts the item's encoder; false when it could not be started (the item has failed).
    bool launchEncoder(std::unique_ptr<Item> item, const ToolCommand& command);
    // Starts a pass of the item's encoder; false when it could not be started.
    bool startEncoderJob(Item* item, const ToolCommand& command);
    void onItemFinished(Item* item, const ToolJobResult& result);
    void onOutputChecked(Item* item, const QString& failure);
    void finishItem(Item* item, const QString& failure);
    // Gives the item's checked file its name; why not, or empty.
    QString publish(Item* item);
    // For the program's quick exit: the items still under way are seen through by a
    // finisher of their own.
    void handOver();
    void removeInFlight(Item* item);
    // Rows leaving the list: waiting ones are left out, and those under way are stopped as
    // "Skip this file" stops them (no file is left); the run goes on once they have gone.
    void rowsLeaving(int first, int last);
    void leaveOut(const QList<SourceList::Id>& ids, bool markRows);
    // Stops the encoders under way and ends the run once the checks under way have decided.
    void stopRun(RunOutcome::End end);
    // Stops one item's encoder (or check) and removes its partial file; its row says Cancel.
    void stopItem(Item* item, bool markRow = true);
    int encodingCount() const;
    void clearWaitingRows();
    void endRun(RunOutcome::End end);
    void failItem(SourceList::Id id, const QString& reason);
    QString nextLogPath();

    Environment m_env;
    Limits m_limits;
    bool m_running = false;
    bool m_waitingForProbes = false;
    bool m_finishingUp = false;
    bool m_stopping = false;
    RunOutcome::End m_stopEnd = RunOutcome::End::Cancelled;
    bool m_paused = false;
    bool m_stopAtExit = false;
    std::function<bool(SourceList::Id)> m_heldElsewhere;
    QString m_outcomesFolder;
    QString m_queueId;

    // This run.
    RunSettings m_settings;
    std::vector<SourceList::Id> m_rows; // every row of the run
    QSet<SourceList::Id> m_pending;     // those not started yet
    int m_itemNumber = 0;               // items started, for the log names
    int m_itemsTried = 0;
    int m_failed = 0;
    int m_converted = 0;
    QString m_missingInput;
    QStringList m_reservedOutputs; // outputs this run has written or is writing
    QStringList m_writtenFolders;  // the folders this run's good outputs went to, in order
    int m_runNumber = 0;
    std::vector<std::unique_ptr<Item>> m_inFlight;
    QualityScorer m_scorer;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::RunOutcome)
