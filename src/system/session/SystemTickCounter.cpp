#include "system/session/SystemTickCounter.h"

#include <chrono>

namespace quenterra {

quint32 SystemTickCounter::timeGetTime()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<quint32>(static_cast<quint64>(ms));
}

}  // namespace quenterra
