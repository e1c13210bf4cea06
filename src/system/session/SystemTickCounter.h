#pragma once

#include "platform/TickCounter.h"

namespace quenterra {

// Milliseconds of the system's monotonic clock (time since boot on Linux), cut to 32 bits.
class SystemTickCounter final : public TickCounter {
public:
    quint32 timeGetTime() override;
};

}  // namespace quenterra
