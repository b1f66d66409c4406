#include "capture/quicktool.h"

#include <QEventLoop>
#include <csignal>

namespace clipvane {

QuickToolRun runQuickTool(const QStringList& arguments, int timeoutMs) {
    QuickToolRun run;
    ToolProcess tool;
    ToolProcess::Options options;
    options.standardOutput = ToolProcess::Channel::Keep;
    options.standardError = ToolProcess::Channel::Keep;
    options.keepBytes = 1024 * 1024;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    options.timeLimitMs = timeoutMs;
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&tool, &ToolProcess::finished, &loop, [&](const ToolExit& exit) {
        run.exit = exit;
        ended = true;
        loop.quit();
    });
    if (!tool.start(arguments, options)) {
        run.exit.started = false;
        return run;
    }
    if (!ended)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    run.output = tool.output();
    run.errors = tool.errors();
    return run;
}

} // namespace clipvane
