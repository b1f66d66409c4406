#pragma once

#include "process/toolprocess.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <functional>

namespace clipvane {

// What a short tool run printed and how it ended.
struct QuickToolRun {
    ToolExit exit;
    QByteArray output;
    QByteArray errors;
};

// One short tool run (a listing, a check) in the background: finished() comes, from the
// event loop, once the tool has ended, with what it printed. A tool still running after
// timeoutMs is killed; one that cannot be started ends with exit.started false. Deleting the
// object ends a tool still running.
class QuickTool : public QObject {
    Q_OBJECT
public:
    explicit QuickTool(QObject* parent = nullptr);

    // Starts the tool (the program first); finished() follows in every case, never from
    // inside start().
    void start(const QStringList& arguments, int timeoutMs);
    bool isRunning() const { return m_tool && m_tool->isRunning(); }

    // Starts a quick tool that belongs to context and calls done with its run; the tool goes
    // once done has returned, or with context.
    static void run(QObject* context, const QStringList& arguments, int timeoutMs,
                    std::function<void(const QuickToolRun&)> done);

signals:
    void finished(const clipvane::QuickToolRun& run);

private:
    ToolProcess* m_tool = nullptr;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::QuickToolRun)
