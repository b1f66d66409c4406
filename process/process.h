#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <memory>

namespace clipvane {

// Runs one tool as a hidden child process and collects everything it writes to standard
// output and standard error (merged, in the order written).
//
// A synchronous Launch waits in a nested event loop that wakes on the child's output and
// exit, so the window stays responsive and other commands can run during the wait.
//
// The child runs in a process group of its own, so ending it also ends whatever it started
// (a launcher's tool, a script's children).
class Process : public QObject {
    Q_OBJECT
public:
    // StdOut keeps output of up to this many characters whole; of longer output, only the
    // end (never twice as much). StdOutChanged still announces every piece.
    static constexpr qsizetype kStdOutLimit = 128 * 1024;

    explicit Process(QObject* parent = nullptr);
    ~Process() override; // ends a child that still runs

    QString CmdLine() const { return m_cmdLine; }
    void setCmdLine(const QString& text) { m_cmdLine = text; }
    QString Parameters() const { return m_parameters; }
    void setParameters(const QString& text) { m_parameters = text; }
    bool Async() const { return m_async; }
    void setAsync(bool async) { m_async = async; }

    QDateTime StartTime() const { return m_startTime; }
    QString ElapsedTime() const; // H:MM:SS since StartTime
    int RC() const { return m_rc; }
    // The output so far; of long output, only its end, from a line start where possible.
    QString StdOut() const { return m_stdOut; }
    qint64 processId() const;
    // True when the last Launch could not start its tool (missing, not executable).
    bool startFailed() const { return m_startFailed; }

    // Takes whatever output is waiting, without blocking, then checks whether the child
    // has ended (and finishes the runner if so).
    void Read();
    // True while the child runs; asking after it has ended finishes the runner.
    bool IsActive();
    // Ends the child and its process group if it still runs; RC becomes vnRC, or the
    // child's own exit code when vnRC is 0. Collects the last output, releases the child
    // and raises Finished.
    void Abort(int vnRC);
    // Starts CmdLine, one blank and Parameters. With Async false, returns after the child
    // has ended. A tool that cannot be started returns at once with no output and RC 0.
    void Launch();

    // Kills the process group of every runner's running child at once, without waiting:
    // for a program that is about to end abruptly. The runners notice when events run.
    static void endAllRunning();

signals:
    void Finished();
    void StdOutChanged(const QString& vsText);

private:
    void readAvailable();
    void appendOutput(const QString& piece);
    void killGroup();

    QString m_cmdLine;
    QString m_parameters;
    bool m_async = false;
    QDateTime m_startTime;
    int m_rc = 0;
    bool m_startFailed = false;
    QString m_stdOut;
    qint64 m_group = 0; // the running child's process group, 0 when none
    std::unique_ptr<QProcess> m_child;
    std::unique_ptr<QStringDecoder> m_decoder;
};

// A new runner whose CmdLine is set; the caller owns it.
std::unique_ptr<Process> NewProcess(const QString& commandLine);

} // namespace clipvane
