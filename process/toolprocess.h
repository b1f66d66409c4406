#pragma once

#include "process/stopsequence.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace clipvane {

// How a tool run ended.
struct ToolExit {
    bool started = true;        // false: the tool could not be started at all
    int exitCode = 0;           // the signal's number when it crashed
    bool crashed = false;       // ended by a signal (our own stop or kill included)
    bool timedOut = false;      // its time limit ran out and it was ended
    bool stopRequested = false; // stop() or kill() was called before it ended
    bool succeeded() const { return started && !crashed && !timedOut && exitCode == 0; }
};

// One run of a child tool: the one place where the program starts, watches and stops the tools
// it runs (the player, the encoder, the prober, the recorder).
//
// - The tool starts from an argument list, never through a shell, in a process group of its
//   own, so that a stop reaches whatever it starts in turn.
// - Its standard input is a pipe the program keeps (for key presses) or nothing.
// - Its standard output and error are discarded, kept (the newest keepBytes of each, every
//   piece also announced as it arrives), merged into one, or the error written to a file.
// - It can be asked to end with the program (a signal when the program dies), and is ended
//   when a time limit passes.
// - stop() sends the quit key, terminates the group if the tool is still there after a grace
//   period, and kills it after a second one (a StopSequence); signals reach the whole group.
//
// A running tool is ended (its group killed) when its ToolProcess is destroyed; nothing waits
// for it then: the application reaps it once it has gone. The program's quick exit destroys
// nothing, so an encoder can finish its file after the window has gone.
class ToolProcess : public QObject {
    Q_OBJECT
public:
    enum class Channel {
        Discard,
        Keep,  // read as it comes: announced, and the newest keepBytes held
        Merge, // standard error only: into standard output
        File,  // standard error only: written to errorFile
    };

    struct Options {
        QString workingDirectory;
        bool keysOnStdin = false; // standard input a pipe for key presses; else nothing
        Channel standardOutput = Channel::Discard;
        Channel standardError = Channel::Discard;
        QString errorFile; // for Channel::File
        // Of each kept channel, the newest this many bytes are held (0: none, only announced).
        qsizetype keepBytes = 64 * 1024;
        // The signal the tool gets should the program die (0: none, the tool lives on).
        int deathSignal = 0;
        // Killed by the program's quick exit (ChildTools::endAtQuickExit).
        bool endsAtQuickExit = false;
        int timeLimitMs = 0; // 0: none
        // Added to the tool's nice value (0: as the program's): background work that must not
        // slow an encode down runs with a positive one.
        int niceness = 0;
        QByteArray quitKey = "q"; // what stop() sends first; empty: terminate at once
        int quitGraceMs = 5000;   // after the quit key, before the group is terminated
        int termGraceMs = 2000;   // after that, before it is killed
        // The tool's name as key presses address it ("mp.dll"): the program must contain it.
        QString toolName;
    };

    explicit ToolProcess(QObject* parent = nullptr);
    ~ToolProcess() override;

    // Starts the tool; false when it could not be started (nothing is emitted then). The
    // first argument is the program.
    bool start(const QStringList& arguments, const Options& options);
    // Starts command-line text in the Windows form (see commandline.h).
    bool start(const QString& commandLine, const Options& options);

    // Writes to the tool's standard input (keys), when that is a pipe.
    void write(const QByteArray& bytes);
    // The quit key, then terminate, then kill, each after its grace period.
    void stop();
    // Terminate, then kill, without a key (one was sent some other way).
    void ensureEnds(int graceMs, int termGraceMs);
    // Kills the group now.
    void kill();
    // Stops (SIGSTOP) or continues (SIGCONT) the whole group.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }

    bool isRunning() const;
    // Whether stop(), ensureEnds() or kill() has been asked of it.
    bool isStopping() const { return m_stopRequested; }
    qint64 processId() const { return m_pid; }
    QString program() const { return m_program; }
    const Options& options() const { return m_options; }
    // The newest keepBytes of the kept channels (of standard output and error merged, when
    // merged).
    QByteArray output() const { return m_output; }
    QByteArray errors() const { return m_errors; }

    // Sends a signal to the group of a tool that runs (or whose leader has just ended).
    void signalGroup(int signal);

signals:
    void outputRead(const QByteArray& piece);
    void errorRead(const QByteArray& piece);
    void finished(const clipvane::ToolExit& exit);

private:
    void readOutput();
    void readErrors();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    static void keepNewest(QByteArray& kept, const QByteArray& piece, qsizetype limit);
    void releaseProcess();

    Options m_options;
    QPointer<QProcess> m_process;
    QString m_program;
    qint64 m_pid = 0;
    bool m_stopRequested = false;
    bool m_timedOut = false;
    bool m_suspended = false;
    bool m_ended = false;
    QByteArray m_output;
    QByteArray m_errors;
    QTimer m_timeLimit;
    StopSequence m_stop;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::ToolExit)
