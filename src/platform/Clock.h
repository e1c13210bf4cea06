#pragma once

#include <QDateTime>

namespace quenterra {

// The local wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time in whole seconds (the fraction of the running second
    // dropped).
    virtual QDateTime now() const = 0;
    // The current instant in whole seconds since the Unix epoch; cheap, no time zone involved.
    virtual qint64 secsSinceEpoch() const = 0;
    // The current instant in milliseconds since the Unix epoch, the fraction of the second kept.
    virtual qint64 msecsSinceEpoch() const = 0;
};

}  // namespace quenterra
