#pragma once

#include "process/toolprocess.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace clipvane {

// The keys the program sends to its tools (the player's and the encoder's own bindings give
// them their meaning): space pauses, the arrows skip back and forward, q quits, and "." shows
// the player's next frame and pauses.
enum class ToolKey { Pause, Back, Forward, Quit, FrameStep };

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

// Every tool the program runs, while it runs: key presses reach them by process id, and the
// program's quick exit ends those that must not outlive it. It also starts and owns the tools
// nobody else keeps (the players), and keeps those their owners let go while they are being
// stopped (a recorder whose window has gone).
class ChildTools : public QObject, public ToolKeys {
    Q_OBJECT
public:
    static ChildTools& instance();

    // Starts a tool that belongs here and is deleted some time after it ends; nullptr when
    // it could not be started.
    ToolProcess* start(const QString& commandLine, const ToolProcess::Options& options);

    // Takes a tool over from its owner, which no longer waits for it: the stop under way (if
    // any) goes on from here, and the tool is deleted once it has ended. The quick exit ends
    // it like any tool being stopped.
    void adopt(ToolProcess* tool);

    // The live tool with that process id whose program contains toolName, or nullptr.
    ToolProcess* find(qint64 processId, const QString& toolName) const;

    void sendKey(qint64 processId, const QString& toolName, ToolKey key) override;

    // A tool that has been asked to quit is terminated (its whole group) if it still runs
    // after graceMs, and killed termGraceMs later.
    void ensureEnds(qint64 processId, int graceMs, int termGraceMs = 2000);

    // Kills the groups of the tools that end with the program, and of those being stopped;
    // for the program's quick exit. A converting encoder is left to finish its file. The
    // hooks run first, while every tool still runs.
    void endAtQuickExit();
    // A hook for the quick exit (a batch hands over its items); it goes with its owner.
    void atQuickExit(QObject* owner, std::function<void()> hook);

    // Kept up to date by ToolProcess itself.
    void remember(ToolProcess* tool);
    void forget(ToolProcess* tool);

private:
    ChildTools() = default;
    QHash<qint64, QPointer<ToolProcess>> m_tools;
    QList<QPair<QPointer<QObject>, std::function<void()>>> m_exitHooks;
};

} // namespace clipvane
