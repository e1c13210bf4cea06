#include "countdown/LocalTime.h"

#include <QDateTime>

#include <algorithm>

#include "countdown/Countdown.h"

namespace quenterra {
namespace {

// The local time zone's offset from UTC, in seconds, at an instant.
int offsetAt(qint64 instant)
{
    return QDateTime::fromSecsSinceEpoch(instant, Qt::LocalTime).offsetFromUtc();
}

bool showsWall(qint64 instant, qint64 wall)
{
    return instant + offsetAt(instant) == wall;
}

}  // namespace

qint64 LocalWallClockToInstant(QDate date, QTime time)
{
    // The wall-clock reading counted as if it were UTC; the instant is that minus the offset in
    // force.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();

    // A day either side is further than any change of offset can move a reading, so the offsets
    // there are the ones in force before and after any change near this reading.
    const int offsetBefore = offsetAt(wall - kSecondsPerDay);
    const int offsetAfter = offsetAt(wall + kSecondsPerDay);
    const qint64 underBefore = wall - offsetBefore;
    const qint64 underAfter = wall - offsetAfter;
    const bool beforeShows = showsWall(underBefore, wall);
    const bool afterShows = showsWall(underAfter, wall);

    if (beforeShows && afterShows) {
        return std::min(underBefore, underAfter);  // shown twice: the first occurrence
    }
    if (beforeShows) {
        return underBefore;
    }
    if (afterShows) {
        return underAfter;
    }

    // Skipped: the clock jumps over this reading. The first moment after the gap is the instant of
    // the change, the first one with the later offset; it lies between the two candidates.
    qint64 low = std::min(underBefore, underAfter);   // still under the earlier offset
    qint64 high = std::max(underBefore, underAfter);  // already under the later offset
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        if (offsetAt(middle) == offsetAfter) {
            high = middle;
        } else {
            low = middle;
        }
    }
    return high;
}

}  // namespace quenterra
