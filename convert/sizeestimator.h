#pragma once

#include "convert/encodercommand.h"
#include "convert/outputsize.h"
#include "sources/sourcelist.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace clipvane {

class ToolProcess;

// Keeps the Estimate column of a list true: each row's expected output size, from its fixed
// rates or Target Size at once, or for a constant quality from short sample encodes of its
// clip with its real options (sampleWindows), run one at a time at low priority. A row's
// estimate is kept while what it is converted with stays the same (its command, bar the
// output's name), and measured again when that changes. Nothing blocks: the samples' ends
// arrive as signals.
class SizeEstimator : public QObject {
    Q_OBJECT
public:
    // How a row would be converted now; nothing when it would not be (no profile, a value
    // the sheet cannot take).
    using InputsFor = std::function<std::optional<EncoderInputs>(SourceList::Id)>;

    // The tool's nice value above the program's: samples run only beside the user's work.
    static constexpr int kNiceness = 10;
    // Changes are gathered this long before the rows are looked at again.
    static constexpr int kSettleMs = 300;

    SizeEstimator(SourceList* list, InputsFor inputsFor, QObject* parent = nullptr);
    ~SizeEstimator() override;

    // Looks at every row again once changes settle (refresh does it at once).
    void refreshSoon();
    void refresh();
    // Samples hold still (a run is converting) until let go on; the rows are looked at again
    // then, not while the run changes them.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }
    bool isIdle() const { return !m_tool && m_waiting.empty() && !m_settle.isActive(); }
    // The FFmpeg that encodes the samples (tests point it elsewhere); empty: the row's own.
    void setProgram(const QString& program) { m_program = program; }

    // The list's estimates added up: bytes of the rows that have one, how many rows have one,
    // and how many are still being measured.
    struct Total {
        qint64 bytes = 0;
        int known = 0;
        int pending = 0;
    };
    Total total() const;

signals:
    // A row's estimate was set or cleared.
    void estimatesChanged();
    // Nothing is waiting or being sampled.
    void idle();

private:
    struct Job {
        SourceList::Id id = 0;
        QString key;
        EncoderInputs inputs;
        QList<SampleWindow> windows;
        QList<SampleBytes> samples;
        double clipSeconds = 0;
    };

    void startNext();
    bool startWindow();
    void onSampleFinished(bool succeeded);
    void abortCurrent();
    void finishJob(const std::optional<SizeEstimate>& estimate);
    // Writes a row's estimate; whether that changed it.
    bool set(SourceList::Id id, const std::optional<SizeEstimate>& estimate, bool pending);

    SourceList* m_list;
    InputsFor m_inputsFor;
    QString m_program;
    QTimer m_settle;
    // What each row's estimate was made for (or is being made for).
    QHash<SourceList::Id, QString> m_keys;
    std::deque<Job> m_waiting;
    std::optional<Job> m_current;
    QPointer<ToolProcess> m_tool;
    std::unique_ptr<QTemporaryDir> m_folder;
    bool m_suspended = false;
    bool m_refreshWhenResumed = false;
};

// The key a row's estimate is kept under: the command that converts it, bar the output's
// name; empty when no command can be made.
QString estimateKey(const EncoderInputs& inputs);

// The sample encode of one window: the row's own command for that stretch, writing FFmpeg's
// list of packets (framecrc) to listingPath instead of a file; nothing when it cannot be made.
std::optional<QStringList> sampleArguments(const EncoderInputs& inputs, const SampleWindow& window,
                                           const QString& listingPath);

} // namespace clipvane
