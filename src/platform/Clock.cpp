#include "platform/Clock.h"

namespace quenterra {

QDateTime SystemClock::now() const
{
    const QDateTime current = QDateTime::currentDateTime();
    return current.addMSecs(-current.time().msec());
}

}  // namespace quenterra
