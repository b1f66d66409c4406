#pragma once

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <optional>

namespace clipvane {

class ToolKeys;

// How a tool run ended.
struct ToolJobResult {
    int exitCode = 0;           // the signal's number when crashed
    bool crashed = false;       // killed by a signal (including our own hard stop)
    bool stopRequested = false; // stop() was called before it ended
    QString errorLines;         // the log's lines that say what went wrong
    bool succeeded() const { return !crashed && exitCode == 0; }
};

// One run of a long-running tool (the encoder, the recorder): started from command-line text
// without a shell and with standard input as a pipe, its standard error written to a log
// file, its progress read from the log's "time=" reports, and stopped with "q", then, should
// it ignore that, terminated and at last killed, each after a grace period; the signals reach
// the tool's whole process group. Connect to the signals before start(): every
// signal may come from inside start() or from the event loop after it.
//
// The process itself belongs to ChildTools, so destroying a job does not end its tool: a
// closed window leaves a running encoder to finish its file.
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
    };

    explicit ToolJob(QObject* parent = nullptr);
    ~ToolJob() override;

    // Starts the tool; false when it could not be started (nothing is emitted then).
    bool start(const QString& commandLine, const Options& options);
    // Asks the tool to stop ("q"), and kills it if it is still running after the grace period.
    void stop();

    bool isRunning() const;
    qint64 processId() const { return m_pid; }

signals:
    void started(qint64 processId);
    // Every poll while the tool runs: the last time it reported, if any.
    void polled(std::optional<double> reportedSeconds);
    void finished(const clipvane::ToolJobResult& result);

private:
    void poll();
    void onFinished(int exitCode, QProcess::ExitStatus status);

    Options m_options;
    QPointer<QProcess> m_process;
    qint64 m_pid = 0;
    bool m_stopRequested = false;
    QTimer m_pollTimer;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::ToolJobResult)
