#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

namespace clipvane {

// Ends a process group step by step, on timers: the quit key first (when there is one and a
// way to send it), then, should the group's leader still run after a grace period, a
// terminate signal to the whole group, and, after a second grace period, a kill. A stopped
// (SIGSTOP) group is continued first: it could act on neither the key nor the terminate.
//
// The group need not be one this program started: whether its leader still runs is asked of
// the liveness function, before every signal, so a signal never reaches a group id that has
// been given to something else.
class StopSequence : public QObject {
    Q_OBJECT
public:
    struct Target {
        qint64 groupId = 0;                              // the leader's process id
        std::function<bool()> alive;                     // whether the leader still runs
        std::function<void(const QByteArray&)> writeKey; // how a key reaches it; empty: none
    };

    explicit StopSequence(QObject* parent = nullptr);

    void setTarget(Target target) { m_target = std::move(target); }
    const Target& target() const { return m_target; }

    // Sends quitKey (nothing when empty), terminates the group graceMs later and kills it
    // termGraceMs after that. Once under way, a second start changes nothing.
    void start(const QByteArray& quitKey, int graceMs, int termGraceMs);
    // The group has ended (or is no longer ours to end): no further step.
    void cancel();
    bool isActive() const { return m_step != Step::Idle; }

signals:
    // A signal the sequence has sent to the group (SIGCONT, SIGTERM, SIGKILL).
    void signalled(int signal);

private:
    enum class Step { Idle, Terminate, Kill };
    void advance();
    bool sendToGroup(int signal);

    Target m_target;
    QTimer m_timer;
    Step m_step = Step::Idle;
    int m_termGraceMs = 0;
};

} // namespace clipvane
