#pragma once

#include <QObject>
#include <memory>

// Shared flag of one cancellable task. Console::run creates one per task and
// hands it down to the runner, which terminates the child when it fires.
class CancelState : public QObject {
    Q_OBJECT
public:
    bool isRequested() const { return m_requested; }
    void request() {
        if (m_requested)
            return;
        m_requested = true;
        Q_EMIT requested();
    }

Q_SIGNALS:
    void requested();

private:
    bool m_requested = false;
};

// Cheap to copy; every copy observes the same state. A default-constructed
// token belongs to no task and so never fires.
class CancelToken {
public:
    CancelToken()
        : m_state(std::make_shared<CancelState>()) {}

    void cancel() const { m_state->request(); }
    bool isCancelled() const { return m_state->isRequested(); }
    // Emits requested() once, on the thread that cancels (the main thread).
    CancelState *state() const { return m_state.get(); }

private:
    std::shared_ptr<CancelState> m_state;
};
