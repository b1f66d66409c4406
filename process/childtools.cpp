#include "process/childtools.h"

#include "process/commandline.h"

#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace clipvane {

QByteArray terminalBytes(ToolKey key) {
    switch (key) {
    case ToolKey::Pause:
        return QByteArrayLiteral(" ");
    case ToolKey::Back:
        return QByteArrayLiteral("\x1b[D");
    case ToolKey::Forward:
        return QByteArrayLiteral("\x1b[C");
    case ToolKey::Quit:
        return QByteArrayLiteral("q");
    }
    return {};
}

ChildTools& ChildTools::instance() {
    static ChildTools* tools = new ChildTools; // outlives every window; see start()
    return *tools;
}

QProcess* ChildTools::start(const QString& commandLine, const StartOptions& options) {
    QStringList args = splitCommandLine(commandLine);
    if (args.isEmpty())
        return nullptr;
    auto* child = new QProcess(this);
    child->setProgram(args.takeFirst());
    child->setArguments(args);
    if (!options.workingDirectory.isEmpty())
        child->setWorkingDirectory(options.workingDirectory);
    if (options.discardStdout)
        child->setStandardOutputFile(QProcess::nullDevice());
    child->setStandardErrorFile(options.stderrFile.isEmpty() ? QProcess::nullDevice()
                                                             : options.stderrFile);
    child->setChildProcessModifier([] { ::setpgid(0, 0); });
    child->start(QIODevice::ReadWrite);
    if (!child->waitForStarted(5000)) {
        delete child;
        return nullptr;
    }
    const qint64 pid = child->processId();
    m_children.insert(pid, child);
    connect(child, &QProcess::finished, this, [this, pid, child] {
        if (m_children.value(pid) == child)
            m_children.remove(pid);
        // A stopped tool takes whatever it started with it.
        if (m_stopping.remove(pid))
            ::kill(static_cast<pid_t>(-pid), SIGKILL);
        child->deleteLater();
    });
    return child;
}

QProcess* ChildTools::find(qint64 processId, const QString& toolName) const {
    if (processId == 0 || toolName.isEmpty())
        return nullptr;
    QProcess* child = m_children.value(processId);
    if (!child || child->state() != QProcess::Running)
        return nullptr;
    if (!child->program().contains(toolName))
        return nullptr;
    return child;
}

void ChildTools::sendKey(qint64 processId, const QString& toolName, ToolKey key) {
    if (QProcess* child = find(processId, toolName))
        child->write(terminalBytes(key));
}

void ChildTools::signalGroup(qint64 processId, int signal) {
    // Only groups of tools we started: never a stray process id.
    if (processId <= 0 || (!m_children.contains(processId) && !m_stopping.contains(processId)))
        return;
    ::kill(static_cast<pid_t>(-processId), signal);
}

void ChildTools::setStopping(qint64 processId, bool stopping) {
    if (stopping)
        m_stopping.insert(processId);
    else
        m_stopping.remove(processId);
}

void ChildTools::ensureEnds(qint64 processId, int graceMs, int termGraceMs) {
    QPointer<QProcess> child = m_children.value(processId);
    if (!child || child->state() == QProcess::NotRunning)
        return;
    setStopping(processId, true);
    QTimer::singleShot(graceMs, this, [this, child, processId, termGraceMs] {
        if (!child || child->state() == QProcess::NotRunning)
            return;
        signalGroup(processId, SIGTERM);
        QTimer::singleShot(termGraceMs, this, [this, child, processId] {
            if (child && child->state() != QProcess::NotRunning)
                signalGroup(processId, SIGKILL);
        });
    });
}

void ChildTools::endStopping() {
    for (qint64 pid : std::as_const(m_stopping))
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
}

} // namespace clipvane
