#include "system/session/SystemClock.h"

namespace quenterra {

QDateTime SystemClock::now() const
{
    const QDateTime current = QDateTime::currentDateTime();
    return current.addMSecs(-current.time().msec());
}

qint64 SystemClock::secsSinceEpoch() const
{
    return QDateTime::currentSecsSinceEpoch();
}

qint64 SystemClock::msecsSinceEpoch() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace quenterra
