#include "process/process.h"

#include "base/textvalues.h"
#include "process/commandline.h"

#include <QEventLoop>
#include <QSet>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace clipvane {
namespace {
// Output is taken from the child in pieces of at most this many bytes, each announced on
// its own, so a flood of output never builds one huge buffer.
constexpr qint64 kReadChunk = 64 * 1024;

// Runners whose child runs in a process group of its own. Never destroyed: the program may
// end runners (or end abruptly) after static objects are gone.
QSet<Process*>& runningRunners() {
    static auto* runners = new QSet<Process*>;
    return *runners;
}
} // namespace

Process::Process(QObject* parent) : QObject(parent) {}

Process::~Process() {
    // Ending a runner ends its child; nobody listens for Finished any more.
    blockSignals(true);
    Abort(0);
    runningRunners().remove(this);
}

QString Process::ElapsedTime() const {
    if (!m_startTime.isValid())
        return timeText(0);
    return timeText(m_startTime.secsTo(QDateTime::currentDateTime()));
}

qint64 Process::processId() const {
    return m_child ? m_child->processId() : 0;
}

void Process::appendOutput(const QString& piece) {
    m_stdOut += piece;
    // Trimmed in steps, not per piece, so a long flood costs little copying.
    if (m_stdOut.size() <= 2 * kStdOutLimit)
        return;
    qsizetype cut = m_stdOut.size() - kStdOutLimit;
    // Keep from the start of a line when one begins in the kept part.
    const QStringView kept = QStringView(m_stdOut).sliced(cut);
    qsizetype end = kept.indexOf(QLatin1Char('\n'));
    const qsizetype cr = (end < 0 ? kept : kept.first(end)).indexOf(QLatin1Char('\r'));
    if (cr >= 0)
        end = cr;
    if (end >= 0)
        cut += end + 1;
    if (cut < m_stdOut.size() && m_stdOut.at(cut).isLowSurrogate())
        ++cut;
    m_stdOut.remove(0, cut);
}

void Process::readAvailable() {
    while (m_child && m_decoder) {
        const QByteArray bytes = m_child->read(kReadChunk);
        if (bytes.isEmpty())
            return;
        const QString piece = m_decoder->decode(bytes);
        if (piece.isEmpty())
            continue;
        emit StdOutChanged(piece);
        appendOutput(piece);
    }
}

void Process::Read() {
    readAvailable();
    IsActive();
}

bool Process::IsActive() {
    if (!m_child)
        return false;
    if (m_child->state() != QProcess::NotRunning)
        return true;
    Abort(0);
    return false;
}

void Process::killGroup() {
    // Only while the group leader has not been reaped: its id cannot have been reused.
    if (m_group > 0 && m_child && m_child->state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(-m_group), SIGKILL);
}

void Process::endAllRunning() {
    for (Process* runner : std::as_const(runningRunners()))
        runner->killGroup();
}

void Process::Abort(int vnRC) {
    if (m_child) {
        bool killed = false;
        if (m_child->state() != QProcess::NotRunning) {
            killGroup();
            m_child->kill();
            m_child->waitForFinished(2000);
            killed = true;
        }
        m_group = 0;
        runningRunners().remove(this);
        if (vnRC != 0)
            m_rc = vnRC;
        else if (!killed && m_child->exitStatus() == QProcess::NormalExit)
            m_rc = m_child->exitCode();
        else
            m_rc = 0;
        readAvailable();
        // A slot reached from readAvailable may have released the child already.
        if (m_child) {
            m_child->disconnect(this);
            m_child.reset();
            m_decoder.reset();
        }
    }
    emit Finished();
}

void Process::Launch() {
    if (m_child)
        Abort(0);
    m_rc = 0;
    m_startFailed = true;
    m_stdOut.clear();
    m_startTime = QDateTime::currentDateTime();

    QStringList args = splitCommandLine(m_cmdLine + QLatin1Char(' ') + m_parameters);
    if (args.isEmpty())
        return;
    const QString program = args.takeFirst();

    auto child = std::make_unique<QProcess>();
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->setProgram(program);
    child->setArguments(args);
    child->setStandardInputFile(QProcess::nullDevice());
    // Runs in the child between fork and exec: a group of its own, led by the tool.
    child->setChildProcessModifier([] { ::setpgid(0, 0); });
    child->start(QIODevice::ReadOnly);
    if (!child->waitForStarted(5000))
        return; // a tool that cannot be started: no output, RC 0

    m_startFailed = false;
    m_child = std::move(child);
    m_group = m_child->processId();
    runningRunners().insert(this);
    m_decoder = std::make_unique<QStringDecoder>(QStringDecoder::Utf8);
    connect(m_child.get(), &QProcess::readyRead, this, &Process::readAvailable);

    if (m_async)
        return;

    QEventLoop loop;
    QPointer<QProcess> watched = m_child.get();
    connect(watched, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(this, &Process::Finished, &loop, &QEventLoop::quit);
    if (watched->state() != QProcess::NotRunning)
        loop.exec();
    if (m_child)
        Abort(0);
}

std::unique_ptr<Process> NewProcess(const QString& commandLine) {
    auto p = std::make_unique<Process>();
    p->setCmdLine(commandLine);
    return p;
}

} // namespace clipvane
