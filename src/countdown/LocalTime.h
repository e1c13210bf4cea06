#pragma once

#include <QDate>
#include <QTime>

namespace quenterra {

// The instant (seconds since the Unix epoch) at which the local wall clock shows date and time.
// A reading that the clock skips (inside the gap of a change to daylight-saving time) gives the
// first moment after the gap; a reading that the clock shows twice gives its first occurrence.
// date and time must be valid.
qint64 LocalWallClockToInstant(QDate date, QTime time);

}  // namespace quenterra
