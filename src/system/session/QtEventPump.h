#pragma once

#include <QTimer>

#include "platform/EventPump.h"

namespace quenterra {

// Processes pending events; when there are none, sleeps until one arrives or its timer runs out, so
// that a wait built on it neither spins a core nor delays an event noticeably.
class QtEventPump final : public EventPump {
public:
    QtEventPump();
    void pump() override;
    void pumpFor(qint32 ms) override;

private:
    QTimer wake_;
};

}  // namespace quenterra
