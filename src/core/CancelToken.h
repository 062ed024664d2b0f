#pragma once

#include <QObject>
#include <memory>

// Shared flag of one cancellable task. Console::run creates one per task and
// hands it down to the runner, which stops the child's process group when it fires.
class CancelState : public QObject {
    Q_OBJECT
public:
    bool isRequested() const { return m_requested; }
    bool isKillRequested() const { return m_killRequested; }

    void request() {
        if (m_requested)
            return;
        m_requested = true;
        Q_EMIT requested();
    }
    void requestKill() {
        request();
        if (m_killRequested)
            return;
        m_killRequested = true;
        Q_EMIT killRequested();
    }

Q_SIGNALS:
    // Stop politely: SIGTERM, and SIGKILL only after a grace period.
    void requested();
    // Stop now: SIGKILL, and the run has ended by the time the signal returns.
    void killRequested();

private:
    bool m_requested = false;
    bool m_killRequested = false;
};

// Cheap to copy; every copy observes the same state. A default-constructed
// token belongs to no task and so never fires.
class CancelToken {
public:
    CancelToken()
        : m_state(std::make_shared<CancelState>()) {}

    void cancel() const { m_state->request(); }
    // Also cancels. Used for a second Stop and when the task's owner is destroyed.
    void kill() const { m_state->requestKill(); }
    bool isCancelled() const { return m_state->isRequested(); }
    // Emits its signals on the thread that cancels (the main thread).
    CancelState *state() const { return m_state.get(); }

private:
    std::shared_ptr<CancelState> m_state;
};
