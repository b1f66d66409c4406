#include "process/tooljob.h"

#include "process/childtools.h"
#include "process/toollog.h"

namespace clipvane {
namespace {
constexpr qint64 kLogTailBytes = 16 * 1024;
}

ToolJob::ToolJob(QObject* parent) : QObject(parent) {
    connect(&m_pollTimer, &QTimer::timeout, this, &ToolJob::poll);
}

ToolJob::~ToolJob() {
    if (m_process)
        disconnect(m_process, nullptr, this, nullptr);
}

bool ToolJob::start(const QString& commandLine, const Options& options) {
    m_options = options;
    m_stopRequested = false;
    ChildTools::StartOptions start;
    start.workingDirectory = options.workingDirectory;
    start.stderrFile = options.logFile;
    QProcess* process = ChildTools::instance().start(commandLine, start);
    if (!process)
        return false;
    m_process = process;
    m_pid = process->processId();
    connect(process, &QProcess::finished, this, &ToolJob::onFinished);
    m_pollTimer.start(options.pollMs);
    emit started(m_pid);
    return true;
}

bool ToolJob::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ToolJob::stop() {
    if (!isRunning())
        return;
    m_stopRequested = true;
    ToolKeys* keys = m_options.keys ? m_options.keys : &ChildTools::instance();
    keys->sendKey(m_pid, m_options.toolName, ToolKey::Quit);
    ChildTools::instance().ensureEnds(m_pid, m_options.stopGraceMs, m_options.termGraceMs);
}

void ToolJob::poll() {
    if (m_options.logFile.isEmpty())
        return emit polled(std::nullopt);
    emit polled(lastReportedTime(readFileTail(m_options.logFile, kLogTailBytes)));
}

void ToolJob::onFinished(int exitCode, QProcess::ExitStatus status) {
    m_pollTimer.stop();
    if (m_process)
        disconnect(m_process, nullptr, this, nullptr);
    ToolJobResult result;
    result.crashed = status != QProcess::NormalExit;
    result.exitCode = exitCode;
    result.stopRequested = m_stopRequested;
    if (!m_options.logFile.isEmpty())
        result.errorLines = errorLines(readFileTail(m_options.logFile, kLogTailBytes));
    emit finished(result);
}

} // namespace clipvane
