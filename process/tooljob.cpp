#include "process/tooljob.h"

#include "process/childtools.h"
#include "process/commandline.h"
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
    return start(splitCommandLine(commandLine), options);
}

bool ToolJob::start(const QStringList& arguments, const Options& options) {
    m_options = options;
    ToolProcess::Options tool;
    tool.workingDirectory = options.workingDirectory;
    tool.keysOnStdin = true;
    tool.standardError = ToolProcess::Channel::File;
    tool.errorFile = options.logFile;
    tool.toolName = options.toolName;
    tool.quitGraceMs = options.stopGraceMs;
    tool.termGraceMs = options.termGraceMs;
    if (!m_tool.start(arguments, tool))
        return false;
    m_pid = m_tool.processId();
    m_clock.start();
    m_progress.restart(0);
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
    m_tool.setSuspended(false); // a paused tool reads no key
    // The key goes the program's usual way to its tools (which tests record).
    ToolKeys* keys = m_options.keys ? m_options.keys : &ChildTools::instance();
    keys->sendKey(m_pid, m_options.toolName, ToolKey::Quit);
    m_tool.ensureEnds(m_options.stopGraceMs, m_options.termGraceMs);
}

void ToolJob::poll() {
    ProgressSample sample;
    if (!m_options.logFile.isEmpty())
        sample.reportedSeconds = lastReportedTime(readFileTail(m_options.logFile, kLogTailBytes));
    if (m_options.stallLimitMs > 0 && !m_stalled) {
        sample.outputBytes = fileBytes(m_options.outputFile);
        sample.bytesRead = bytesReadBy(m_pid);
        // A paused tool is not stalled: its time starts again when it goes on.
        if (m_tool.isSuspended())
            m_progress.restart(m_clock.elapsed());
        if (m_progress.stillFor(sample, m_clock.elapsed()) >= m_options.stallLimitMs &&
            isRunning()) {
            m_stalled = true;
            stop();
        }
    }
    emit polled(sample.reportedSeconds);
}

void ToolJob::onFinished(const ToolExit& exit) {
    m_pollTimer.stop();
    ToolJobResult result;
    result.crashed = exit.crashed;
    result.exitCode = exit.exitCode;
    result.stopRequested = exit.stopRequested;
    result.stalled = m_stalled;
    if (!m_options.logFile.isEmpty()) {
        const QByteArray tail = readFileTail(m_options.logFile, kLogTailBytes);
        result.errorLines = errorLines(tail);
        result.writeError = writeErrorLine(tail);
        result.decodingErrors = decodingErrorCountInFile(m_options.logFile);
    }
    emit finished(result);
}

} // namespace clipvane
