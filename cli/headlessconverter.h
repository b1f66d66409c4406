#pragma once

#include "convert/batchrun.h"
#include "convert/qualityscore.h"
#include "options/optionsheet.h"
#include "settings/preferences.h"
#include "sources/probequeue.h"
#include "sources/sourcelist.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <optional>

namespace clipvane {

// What became of one file, as the rows say it.
struct FileResult {
    QString input;
    QString output; // empty unless converted
    QString status; // "OK", "Fail" or "Cancel"
    QString reason;
    double seconds = 0; // from its encoder's start to its end
    qint64 size = 0;    // of the output
    // What the output was expected to weigh before it was made (from its rates or its Target
    // Size), the Target Size asked for, and how it compares with its source (with --score).
    std::optional<qint64> estimate = {};
    std::optional<qint64> target = {};
    std::optional<OutputScore> score = {};
};

// The window's conversion without the window: the files are examined (ProbeQueue), checked,
// encoded, checked again and published by a BatchRun over a list of its own, with the sheet and
// run settings it is given (the sheet must outlive it). Files can be added at any time; they are
// converted in the run under way or the next. A file that is not there fails on its own and the
// others go on.
class HeadlessConverter : public QObject {
    Q_OBJECT
public:
    HeadlessConverter(OptionSheet* sheet, int profileIndex, const RunSettings& settings,
                      QObject* parent = nullptr);

    // Each output is compared with its source before its file is reported (off at first: the
    // comparison costs a share of the encode).
    void setScoring(bool score) { m_score = score; }

    void setLimits(const BatchRun::Limits& limits) { m_batch.setLimits(limits); }
    // Adds a file; start/end (hundredths) clip it once it has been examined.
    void add(const QString& path, std::optional<qint64> start = {}, std::optional<qint64> end = {});
    // "Stop now": the encoders are stopped and their partial files removed; files not done say
    // Cancel. stopped() comes once every encoder has ended.
    void stopNow();
    bool isIdle() const {
        return m_list.count() == 0 && !m_batch.isRunning() && m_waitingForScore.isEmpty();
    }
    int filesLeft() const { return m_list.count(); }

signals:
    void fileStarted(const QString& input, const QString& output);
    // How far a file's encoder is (0..1), and the seconds it still needs by its pace so far.
    void fileProgress(const QString& input, double share, double secondsLeft);
    void fileDone(const clipvane::FileResult& result);
    // What stops every file before anything starts (an output folder that cannot be written).
    void refused(const QString& reason);
    // Every file added has its result.
    void idle();
    // After stopNow(): every encoder has ended.
    void stopped();

private:
    void startWhenReady();
    void reportRow(SourceList::Id id, const QString& status, const QString& reason = {});
    void onRunFinished(const RunOutcome& outcome);
    void checkStopped();
    void onScored(SourceList::Id id, const std::optional<OutputScore>& score);

    OptionSheet* m_sheet;
    int m_profileIndex;
    RunSettings m_settings;
    SourceList m_list;
    ProbeQueue m_probes;
    BatchRun m_batch;
    bool m_stopping = false;
    bool m_stoppedSaid = false;
    QHash<SourceList::Id, QElapsedTimer> m_started;
    QHash<SourceList::Id, qint64> m_clipSeconds;
    QHash<SourceList::Id, std::pair<std::optional<qint64>, std::optional<qint64>>> m_clips;
    QSet<SourceList::Id> m_reported;
    // The outputs being compared with their sources, each on a row of a list of their own, and
    // the results they hold back until then.
    bool m_score = false;
    SourceList m_scored;
    QualityScorer m_scorer{&m_scored};
    QHash<SourceList::Id, FileResult> m_waitingForScore;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::FileResult)
