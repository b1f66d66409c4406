#include "process/toolprocess.h"

#include "process/childtools.h"
#include "process/commandline.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace clipvane {
namespace {
// Starting is fork and exec: quick, unless the machine is in trouble.
constexpr int kStartTimeoutMs = 5000;
} // namespace

ToolProcess::ToolProcess(QObject* parent) : QObject(parent) {
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        kill();
    });
}

ToolProcess::~ToolProcess() {
    ChildTools::instance().forget(this);
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (isRunning()) {
        signalGroup(SIGKILL);
        if (m_suspended)
            signalGroup(SIGCONT);
    }
    releaseProcess();
}

void ToolProcess::releaseProcess() {
    QProcess* process = m_process;
    m_process = nullptr;
    if (!process)
        return;
    process->disconnect(this);
    QCoreApplication* app = QCoreApplication::instance();
    if (process->state() == QProcess::NotRunning || !app || app->thread() != process->thread()) {
        // Without an application to hand it to, the process (killed already, or ended) is
        // reaped here.
        delete process;
        return;
    }
    // The application reaps it once it has gone (an ended group's leader is gone at once;
    // one stuck in a device's driver when it can), and deletes it at the latest with itself.
    process->setParent(app);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

bool ToolProcess::start(const QString& commandLine, const Options& options) {
    return start(splitCommandLine(commandLine), options);
}

bool ToolProcess::start(const QStringList& arguments, const Options& options) {
    if (arguments.isEmpty() || m_process)
        return false;
    m_options = options;
    auto* process = new QProcess(this);
    m_program = arguments.first();
    process->setProgram(m_program);
    process->setArguments(arguments.mid(1));
    if (!options.workingDirectory.isEmpty())
        process->setWorkingDirectory(options.workingDirectory);
    if (!options.keysOnStdin)
        process->setStandardInputFile(QProcess::nullDevice());
    if (options.standardOutput != Channel::Keep)
        process->setStandardOutputFile(QProcess::nullDevice());
    switch (options.standardError) {
    case Channel::Keep:
        break;
    case Channel::Merge:
        process->setProcessChannelMode(QProcess::MergedChannels);
        break;
    case Channel::File:
        process->setStandardErrorFile(options.errorFile.isEmpty() ? QProcess::nullDevice()
                                                                  : options.errorFile);
        break;
    case Channel::Discard:
        process->setStandardErrorFile(QProcess::nullDevice());
        break;
    }
    const int deathSignal = options.deathSignal;
    const int niceness = options.niceness;
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: a group of its own, led by the tool, its
    // priority, and the signal it gets should the program die (before this point, too).
    process->setChildProcessModifier([deathSignal, parent, niceness] {
        ::setpgid(0, 0);
        if (niceness > 0) {
            errno = 0;
            const int now = ::getpriority(PRIO_PROCESS, 0);
            if (errno == 0)
                ::setpriority(PRIO_PROCESS, 0, std::min(now + niceness, 19));
        }
        if (deathSignal != 0) {
            ::prctl(PR_SET_PDEATHSIG, deathSignal);
            if (::getppid() != parent)
                ::_exit(127);
        }
    });
    // Only the channels that are read: the others go to a file or nowhere.
    const bool readsOutput =
        options.standardOutput == Channel::Keep || options.standardError == Channel::Merge;
    const bool readsErrors = options.standardError == Channel::Keep;
    if (readsOutput)
        connect(process, &QProcess::readyReadStandardOutput, this, &ToolProcess::readOutput);
    if (readsErrors)
        connect(process, &QProcess::readyReadStandardError, this, &ToolProcess::readErrors);
    connect(process, &QProcess::finished, this, &ToolProcess::onFinished);
    const bool writes = options.keysOnStdin;
    const bool reads = readsOutput || readsErrors;
    process->start(writes && reads ? QIODevice::ReadWrite
                   : writes        ? QIODevice::WriteOnly
                                   : QIODevice::ReadOnly);
    // A tool that cannot be started is known at once, and its process id is there to address
    // its group. blocking: only fork and exec are confirmed, which takes milliseconds.
    if (!process->waitForStarted(kStartTimeoutMs)) {
        process->disconnect(this);
        delete process;
        return false;
    }
    m_process = process;
    m_pid = process->processId();
    m_stop.setTarget(
        {m_pid, [this] { return isRunning(); }, [this](const QByteArray& key) { write(key); }});
    ChildTools::instance().remember(this);
    if (options.timeLimitMs > 0)
        m_timeLimit.start(options.timeLimitMs);
    return true;
}

bool ToolProcess::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ToolProcess::write(const QByteArray& bytes) {
    if (isRunning() && m_options.keysOnStdin)
        m_process->write(bytes);
}

void ToolProcess::stop() {
    if (!isRunning())
        return;
    m_stopRequested = true;
    setSuspended(false); // a stopped tool reads no key
    if (m_options.quitKey.isEmpty() || !m_options.keysOnStdin)
        m_stop.start({}, 0, m_options.termGraceMs);
    else
        m_stop.start(m_options.quitKey, m_options.quitGraceMs, m_options.termGraceMs);
}

void ToolProcess::ensureEnds(int graceMs, int termGraceMs) {
    if (!isRunning())
        return;
    m_stopRequested = true;
    m_stop.start({}, graceMs, termGraceMs); // nothing new when already on its way out
}

void ToolProcess::kill() {
    if (!isRunning())
        return;
    m_stopRequested = true;
    signalGroup(SIGKILL);
    if (m_suspended)
        signalGroup(SIGCONT);
}

void ToolProcess::setSuspended(bool suspended) {
    if (!isRunning() || suspended == m_suspended)
        return;
    m_suspended = suspended;
    signalGroup(suspended ? SIGSTOP : SIGCONT);
}

void ToolProcess::signalGroup(int signal) {
    // Only while the group's leader runs or has only just been reaped: a group id that is
    // still in use cannot have been given to anything else.
    if (m_pid <= 0 || (!isRunning() && !m_ended))
        return;
    ::kill(static_cast<pid_t>(-m_pid), signal);
}

void ToolProcess::keepNewest(QByteArray& kept, const QByteArray& piece, qsizetype limit) {
    if (limit <= 0)
        return;
    kept += piece;
    // Trimmed in steps, not per piece, so a long flood costs little copying.
    if (kept.size() > 2 * limit)
        kept.remove(0, kept.size() - limit);
}

void ToolProcess::readOutput() {
    if (!m_process)
        return;
    const QByteArray piece = m_process->readAllStandardOutput();
    if (piece.isEmpty())
        return;
    keepNewest(m_output, piece, m_options.keepBytes);
    emit outputRead(piece);
}

void ToolProcess::readErrors() {
    if (!m_process)
        return;
    const QByteArray piece = m_process->readAllStandardError();
    if (piece.isEmpty())
        return;
    keepNewest(m_errors, piece, m_options.keepBytes);
    emit errorRead(piece);
}

void ToolProcess::onFinished(int exitCode, QProcess::ExitStatus status) {
    if (m_options.standardOutput == Channel::Keep || m_options.standardError == Channel::Merge)
        readOutput();
    if (m_options.standardError == Channel::Keep)
        readErrors();
    m_timeLimit.stop();
    m_stop.cancel();
    m_ended = true;
    // A tool that was stopped takes whatever it started with it.
    if (m_stopRequested || m_timedOut)
        signalGroup(SIGKILL);
    m_ended = false;
    ChildTools::instance().forget(this);
    ToolExit exit;
    exit.exitCode = exitCode;
    exit.crashed = status != QProcess::NormalExit;
    exit.timedOut = m_timedOut;
    exit.stopRequested = m_stopRequested;
    emit finished(exit);
}

} // namespace clipvane
