#pragma once

#include <QtGlobal>

namespace quenterra {

// Handles the window events that are pending, from inside a procedure that waits.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles the pending events; when there are none, waits for one, about a millisecond at most.
    virtual void pump() = 0;
    // The same, waiting for an event up to ms (at least a millisecond): a long wait built on it
    // wakes only for the window's own events and once at its end.
    virtual void pumpFor(qint32 ms) = 0;
};

}  // namespace quenterra
