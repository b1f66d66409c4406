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
#include <vector>

namespace clipvane {

// What an output is compared with: its source file's clip (seconds from the file's start, and
// its length) and the output itself, which begins where the clip does.
struct ScoreRequest {
    QString source;
    QString output;
    double clipStart = 0;
    double clipLength = 0; // 0: to the end
};

// A stretch of the clip that is compared: from `start` seconds after the clip's start, for
// `length` seconds (0: to the end).
struct ScoreWindow {
    double start = 0;
    double length = 0;
    bool operator==(const ScoreWindow&) const = default;
};

// A clip up to this long (or of unknown length) is compared whole; a longer one in a few
// short windows spread over it, each read from the nearest keyframe before it. Decoding is
// most of a comparison's cost, and a window costs what lies between that keyframe and its
// end, so windows in a short clip would decode much of it several times over.
constexpr double kWholeClipUpTo = 20;
constexpr double kScoreWindowSeconds = 1;
// How many frames of each second are compared: of a whole clip, enough for a fair figure,
// few enough that scoring costs a small share of what the encode did; of a window (whose
// frames are decoded anyway), more.
constexpr double kScoredFramesPerSecond = 2;
constexpr double kWindowFramesPerSecond = 5;
// The tool's nice value above the program's: it runs beside the next encode and must not slow
// that down.
constexpr int kScoreNiceness = 10;

// The stretches of a clip of the given length (0: not known) that its score compares, in
// order: the whole clip, or 3 to 5 windows spread evenly over it (more for longer clips).
std::vector<ScoreWindow> scoreWindows(double clipLength);

// FFmpeg's arguments (the program first) that compare an output with its source clip in the
// windows scoreWindows() gives: each window of the output and the same stretch of the source
// (from the clip's start) read by seeking, frames of the source sampled and each paired with
// the output frame shown at its instant, the output brought to its display size (its pixel
// aspect made square) and the source scaled to that, then measured with the ssim and psnr
// filters. Nothing is written; the figures are in the error output.
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
