#include "process/tooljob.h"

#include "process/childtools.h"
#include "process/toollog.h"

namespace clipvane {
namespace {
constexpr qint64 kLogTailBytes = 16 * 1024;
}

ToolJob::ToolJob(QObject* parent) : QObject(parent) {
    connect(&m_pollTimer, &QTimer::timeout, this, &ToolJob::poll);
    connect(&m_tool, &ToolProcess::finished, this, &ToolJob::onFinished);
}

ToolJob::~ToolJob() = default;

bool ToolJob::start(const QString& commandLine, const Options& options) {
    m_options = options;
    ToolProcess::Options tool;
    tool.workingDirectory = options.workingDirectory;
    tool.keysOnStdin = true;
    tool.standardError = ToolProcess::Channel::File;
    tool.errorFile = options.logFile;
    tool.toolName = options.toolName;
    tool.quitGraceMs = options.stopGraceMs;
    tool.termGraceMs = options.termGraceMs;
    if (!m_tool.start(commandLine, tool))
        return false;
    m_pid = m_tool.processId();
    m_pollTimer.start(options.pollMs);
    emit started(m_pid);
    return true;
}

bool ToolJob::isRunning() const {
    return m_tool.isRunning();
}

void ToolJob::stop() {
    if (!isRunning())
        return;
    // The key goes the program's usual way to its tools (which tests record).
    ToolKeys* keys = m_options.keys ? m_options.keys : &ChildTools::instance();
    keys->sendKey(m_pid, m_options.toolName, ToolKey::Quit);
    m_tool.ensureEnds(m_options.stopGraceMs, m_options.termGraceMs);
}

void ToolJob::poll() {
    if (m_options.logFile.isEmpty())
        return emit polled(std::nullopt);
    emit polled(lastReportedTime(readFileTail(m_options.logFile, kLogTailBytes)));
}

void ToolJob::onFinished(const ToolExit& exit) {
    m_pollTimer.stop();
    ToolJobResult result;
    result.crashed = exit.crashed;
    result.exitCode = exit.exitCode;
    result.stopRequested = exit.stopRequested;
    if (!m_options.logFile.isEmpty())
        result.errorLines = errorLines(readFileTail(m_options.logFile, kLogTailBytes));
    emit finished(result);
}

} // namespace clipvane
