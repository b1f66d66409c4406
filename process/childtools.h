#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QString>

namespace clipvane {

// The keys the program sends to its tools (the player's and the encoder's own bindings give
// them their meaning): space pauses, the arrows skip back and forward, q quits.
enum class ToolKey { Pause, Back, Forward, Quit };

inline constexpr const char* kPlayerTool = "mp.dll";
inline constexpr const char* kEncoderTool = "fp.dll";

// The bytes a terminal sends for a key.
QByteArray terminalBytes(ToolKey key);

// Sends key presses to tools the program started. Tests replace it with a recorder.
class ToolKeys {
public:
    virtual ~ToolKeys() = default;
    // Sends the key to the live child with that process id whose program contains toolName.
    // An ended child, another program or a process id of 0 gets nothing.
    virtual void sendKey(qint64 processId, const QString& toolName, ToolKey key) = 0;
};

// The tools (player, encoder) the program has started and still watches. Each is started
// from an argument list, never through a shell, with standard input as a pipe the program
// keeps, so that key presses can be written to it.
class ChildTools : public QObject, public ToolKeys {
    Q_OBJECT
public:
    static ChildTools& instance();

    struct StartOptions {
        QString workingDirectory;
        QString stderrFile; // empty: standard error is discarded
        bool discardStdout = true;
    };

    // Starts the tool described by command-line text. Returns the running process (owned
    // here, deleted some time after it ends) or nullptr when it could not be started.
    QProcess* start(const QString& commandLine, const StartOptions& options);

    // The live child with that process id whose program contains toolName, or nullptr.
    QProcess* find(qint64 processId, const QString& toolName) const;

    void sendKey(qint64 processId, const QString& toolName, ToolKey key) override;

    // Each tool runs in a process group of its own (its id is the tool's process id), so a
    // stop reaches whatever the tool started too. Sends a signal to the group of a child that
    // still runs, or to the leftovers of one that has just ended.
    void signalGroup(qint64 processId, int signal);
    // A tool being stopped is ended at once if the program quits before it has stopped.
    void setStopping(qint64 processId, bool stopping);
    // Kills the groups of the tools being stopped; for the program's quick exit.
    void endStopping();
    // A tool that has been asked to quit is terminated (its whole group) if it still runs
    // after graceMs, and killed termGraceMs later: a tool that misses or ignores its "q" is
    // not left running.
    void ensureEnds(qint64 processId, int graceMs, int termGraceMs = 2000);

private:
    ChildTools() = default;
    QHash<qint64, QPointer<QProcess>> m_children;
    QSet<qint64> m_stopping;
};

} // namespace clipvane
