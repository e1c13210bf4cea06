#include "system/session/QtEventPump.h"

#include <QCoreApplication>

#include <algorithm>

namespace quenterra {

QtEventPump::QtEventPump()
{
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
}

void QtEventPump::pump()
{
    pumpFor(1);
}

void QtEventPump::pumpFor(qint32 ms)
{
    wake_.start(std::max(1, ms));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace quenterra
