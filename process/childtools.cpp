#include "process/childtools.h"

#include <csignal>

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
    case ToolKey::FrameStep:
        return QByteArrayLiteral(".");
    }
    return {};
}

ChildTools& ChildTools::instance() {
    static ChildTools* tools = new ChildTools; // outlives every window and every tool
    return *tools;
}

ToolProcess* ChildTools::start(const QString& commandLine, const ToolProcess::Options& options) {
    auto* tool = new ToolProcess(this);
    if (!tool->start(commandLine, options)) {
        delete tool;
        return nullptr;
    }
    connect(tool, &ToolProcess::finished, tool, &QObject::deleteLater);
    return tool;
}

void ChildTools::adopt(ToolProcess* tool) {
    if (!tool)
        return;
    tool->setParent(this);
    if (!tool->isRunning()) {
        tool->deleteLater();
        return;
    }
    connect(tool, &ToolProcess::finished, tool, &QObject::deleteLater);
}

void ChildTools::remember(ToolProcess* tool) {
    m_tools.insert(tool->processId(), tool);
}

void ChildTools::forget(ToolProcess* tool) {
    const qint64 pid = tool->processId();
    if (m_tools.value(pid) == tool)
        m_tools.remove(pid);
}

ToolProcess* ChildTools::find(qint64 processId, const QString& toolName) const {
    if (processId == 0 || toolName.isEmpty())
        return nullptr;
    ToolProcess* tool = m_tools.value(processId);
    if (!tool || !tool->isRunning() || !tool->program().contains(toolName))
        return nullptr;
    return tool;
}

void ChildTools::sendKey(qint64 processId, const QString& toolName, ToolKey key) {
    if (ToolProcess* tool = find(processId, toolName))
        tool->write(terminalBytes(key));
}

void ChildTools::ensureEnds(qint64 processId, int graceMs, int termGraceMs) {
    if (ToolProcess* tool = m_tools.value(processId))
        tool->ensureEnds(graceMs, termGraceMs);
}

void ChildTools::atQuickExit(QObject* owner, std::function<void()> hook) {
    m_exitHooks.removeIf([](const auto& entry) { return entry.first.isNull(); });
    m_exitHooks.append({owner, std::move(hook)});
}

void ChildTools::endAtQuickExit() {
    for (const auto& [owner, hook] : std::as_const(m_exitHooks))
        if (owner)
            hook();
    for (const QPointer<ToolProcess>& tool : std::as_const(m_tools)) {
        if (tool && (tool->options().endsAtQuickExit || tool->isStopping()))
            tool->signalGroup(SIGKILL);
    }
}

} // namespace clipvane
