#pragma once

#include <QtGlobal>

namespace quenterra {

// A monotonic millisecond counter that wraps from 4294967295 to 0, like timeGetTime.
class TickCounter {
public:
    virtual ~TickCounter() = default;
    virtual quint32 timeGetTime() = 0;
};

}  // namespace quenterra
