#include "process/stopsequence.h"

#include <csignal>

namespace clipvane {

StopSequence::StopSequence(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StopSequence::advance);
}

void StopSequence::start(const QByteArray& quitKey, int graceMs, int termGraceMs) {
    if (isActive() || !m_target.alive || !m_target.alive())
        return;
    m_termGraceMs = std::max(termGraceMs, 0);
    m_step = Step::Terminate;
    if (!quitKey.isEmpty() && m_target.writeKey) {
        sendToGroup(SIGCONT); // a stopped tool reads no key
        m_target.writeKey(quitKey);
    }
    m_timer.start(std::max(graceMs, 0));
}

void StopSequence::cancel() {
    m_timer.stop();
    m_step = Step::Idle;
}

void StopSequence::advance() {
    switch (m_step) {
    case Step::Idle:
        return;
    case Step::Terminate:
        // Continued first: a stopped group would only act on its terminate once continued.
        if (sendToGroup(SIGCONT) && sendToGroup(SIGTERM)) {
            m_step = Step::Kill;
            m_timer.start(m_termGraceMs);
            return;
        }
        break;
    case Step::Kill:
        sendToGroup(SIGKILL);
        break;
    }
    m_step = Step::Idle;
}

bool StopSequence::sendToGroup(int signal) {
    // Only while the leader runs: a group id still in use cannot have been given to another.
    if (m_target.groupId <= 0 || !m_target.alive || !m_target.alive())
        return false;
    ::kill(static_cast<pid_t>(-m_target.groupId), signal);
    emit signalled(signal);
    return true;
}

} // namespace clipvane
