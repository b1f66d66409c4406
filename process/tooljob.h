#pragma once

#include "process/progresswatch.h"
#include "process/toolprocess.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

namespace clipvane {

class ToolKeys;

// How a tool run ended.
struct ToolJobResult {
    int exitCode = 0;           // the signal's number when crashed
    bool crashed = false;       // killed by a signal (including our own hard stop)
    bool stopRequested = false; // stop() was called before it ended
    bool stalled = false;       // stopped because it had stopped getting anywhere
    QString errorLines;         // the log's lines that say what went wrong
    QString writeError;         // the log's line saying the output could not be written
    int decodingErrors = 0;     // the source's damaged parts the log tells of
    bool succeeded() const { return !crashed && exitCode == 0 && !stalled; }
};

// One encoder run: a ToolProcess with standard input as a pipe (for "q"), standard error
// written to a log file, progress read from the log's "time=" reports, and a stop that sends
// "q" and then, should the encoder ignore it, terminates and at last kills its group, each
// after a grace period. Connect to the signals before start(): every signal may come from
// inside start() or from the event loop after it.
//
// A tool that gets nowhere for stallLimitMs (its reported time, the size of its output and
// what it reads all stand still) is stopped the same way, and its result says it stalled.
//
// The encoder does not die with the program: the window's quick exit leaves it to finish its
// file.
class ToolJob : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString workingDirectory;
        QString logFile;          // standard error; empty: discarded
        QString toolName;         // "fp.dll": what the stop key is addressed to
        ToolKeys* keys = nullptr; // how "q" is sent; nullptr: ChildTools
        int pollMs = 500;         // how often the log is read for progress
        int stopGraceMs = 5000;   // after "q", how long before the tool is terminated
        int termGraceMs = 2000;   // after that, how long before it is killed
        QString outputFile;       // the file it writes, whose growth shows progress
        int stallLimitMs = 0;     // 0: never judged stalled
    };

    explicit ToolJob(QObject* parent = nullptr);
    ~ToolJob() override;

    // Starts the tool from its arguments (the program first); false when it could not be
    // started (nothing is emitted then).
    bool start(const QStringList& arguments, const Options& options);
    // The same from command-line text in the Windows form (see commandline.h).
    bool start(const QString& commandLine, const Options& options);
    // Asks the tool to stop ("q"), and kills it if it is still running after the grace period.
    void stop();
    // Pauses the tool (and every process it started) or lets it go on; a paused tool is
    // never judged stalled, and stop() lets it go on first.
    void setSuspended(bool suspended) { m_tool.setSuspended(suspended); }
    bool isSuspended() const { return m_tool.isSuspended(); }

    bool isRunning() const;
    qint64 processId() const { return m_pid; }

signals:
    void started(qint64 processId);
    // Every poll while the tool runs: the last time it reported, if any.
    void polled(std::optional<double> reportedSeconds);
    void finished(const clipvane::ToolJobResult& result);

private:
    void poll();
    void onFinished(const ToolExit& exit);

    Options m_options;
    ToolProcess m_tool;
    qint64 m_pid = 0;
    QTimer m_pollTimer;
    QElapsedTimer m_clock;
    ProgressWatch m_progress;
    bool m_stalled = false;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::ToolJobResult)
