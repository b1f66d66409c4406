#include "capture/quicktool.h"

#include <QTimer>
#include <csignal>

namespace clipvane {

QuickTool::QuickTool(QObject* parent) : QObject(parent) {}

void QuickTool::start(const QStringList& arguments, int timeoutMs) {
    delete m_tool;
    m_tool = new ToolProcess(this);
    ToolProcess::Options options;
    options.standardOutput = ToolProcess::Channel::Keep;
    options.standardError = ToolProcess::Channel::Keep;
    options.keepBytes = 1024 * 1024;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    options.timeLimitMs = timeoutMs;
    ToolProcess* tool = m_tool;
    connect(tool, &ToolProcess::finished, this, [this, tool](const ToolExit& exit) {
        QuickToolRun run{exit, tool->output(), tool->errors()};
        // Deleted once its own signal has returned.
        tool->deleteLater();
        if (m_tool == tool)
            m_tool = nullptr;
        emit finished(run);
    });
    if (!tool->start(arguments, options)) {
        m_tool = nullptr;
        tool->deleteLater();
        QTimer::singleShot(0, this, [this] {
            QuickToolRun run;
            run.exit.started = false;
            emit finished(run);
        });
    }
}

void QuickTool::run(QObject* context, const QStringList& arguments, int timeoutMs,
                    std::function<void(const QuickToolRun&)> done) {
    auto* tool = new QuickTool(context);
    connect(tool, &QuickTool::finished, context,
            [tool, done = std::move(done)](const QuickToolRun& run) {
                tool->deleteLater();
                done(run);
            });
    tool->start(arguments, timeoutMs);
}

} // namespace clipvane
