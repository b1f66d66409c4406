#include "process/childtools.h"

#include "process/commandline.h"

namespace clipvane {

QByteArray terminalBytesForKey(int virtualKey) {
    switch (virtualKey) {
    case VK_SPACE:
        return QByteArrayLiteral(" ");
    case VK_LEFT:
        return QByteArrayLiteral("\x1b[D");
    case VK_RIGHT:
        return QByteArrayLiteral("\x1b[C");
    case VK_Q:
        return QByteArrayLiteral("q");
    default:
        return {};
    }
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

void ChildTools::sendKey(qint64 processId, const QString& toolName, int virtualKey) {
    QProcess* child = find(processId, toolName);
    const QByteArray bytes = terminalBytesForKey(virtualKey);
    if (!child || bytes.isEmpty())
        return;
    child->write(bytes);
}

} // namespace clipvane
