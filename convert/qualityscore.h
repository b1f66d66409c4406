#pragma once

#include "process/toolprocess.h"
#include "sources/sourcelist.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

namespace clipvane {

// What an output is compared with: its source file's clip (seconds from the file's start, and
// its length) and the output itself, which begins where the clip does.
struct ScoreRequest {
    QString source;
    QString output;
    double clipStart = 0;
    double clipLength = 0; // 0: to the end
};

// How many frames of each second of the clip are compared: enough for a fair figure, few
// enough that scoring costs a small share of what the encode did.
constexpr double kScoredFramesPerSecond = 2;
// The tool's nice value above the program's: it runs beside the next encode and must not slow
// that down.
constexpr int kScoreNiceness = 10;

// FFmpeg's arguments (the program first) that compare an output with its source clip: both
// decoded from the clip's start, sampled at the same instants, the output brought to its
// display size (its pixel aspect made square) and the source scaled to that, then measured
// with the ssim and psnr filters. Nothing is written; the figures are in the error output.
QStringList scoreArguments(const QString& program, const ScoreRequest& request);

// The figures of the filters' summary lines ("SSIM ... All:0.98 (17.0)", "PSNR ...
// average:38.1 ..."); nothing when either is missing.
std::optional<OutputScore> parseScore(const QByteArray& errorOutput);

// Scores checked outputs one at a time, in the order they come, in a child tool at low
// priority, and writes each score to its row (by id: a row removed meanwhile takes nothing).
// A row scored again loses its old score when its new output is queued. Nothing blocks: the
// tool's end arrives as a signal.
class QualityScorer : public QObject {
    Q_OBJECT
public:
    explicit QualityScorer(SourceList* list, QObject* parent = nullptr);
    ~QualityScorer() override;

    void enqueue(SourceList::Id id, const ScoreRequest& request);
    // Forgets what waits and ends the comparison under way (its row gets no score).
    void clear();
    bool isIdle() const { return !m_tool && m_waiting.empty(); }
    // Stops the comparison under way where it is (and starts no other) until let go on.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }
    // The FFmpeg that compares (tests point it elsewhere); empty: ffmpegProgram().
    void setProgram(const QString& program) { m_program = program; }

signals:
    // A row's comparison has ended: its score, or nothing when it could not be measured.
    void scored(clipvane::SourceList::Id id, const std::optional<clipvane::OutputScore>& score);
    // Nothing is waiting or under way any more.
    void idle();

private:
    void startNext();
    void onFinished(const ToolExit& exit);

    SourceList* m_list;
    QString m_program;
    std::deque<std::pair<SourceList::Id, ScoreRequest>> m_waiting;
    QPointer<ToolProcess> m_tool;
    SourceList::Id m_current = 0;
    bool m_suspended = false;
};

} // namespace clipvane
