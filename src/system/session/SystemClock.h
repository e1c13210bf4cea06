#pragma once

#include "platform/Clock.h"

namespace quenterra {

// The system's clock in the local time zone.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 secsSinceEpoch() const override;
    qint64 msecsSinceEpoch() const override;
};

}  // namespace quenterra
