#pragma once

#include <QTimer>

namespace quenterra {

// Handles the window events that are pending, from inside a procedure that waits.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void pump() = 0;
};

// Processes pending events; when there are none, sleeps until one arrives, for a millisecond at most,
// so that a wait built on it neither spins a core nor delays an event noticeably.
class QtEventPump final : public EventPump {
public:
    QtEventPump();
    void pump() override;

private:
    QTimer wake_;
};

}  // namespace quenterra
