#include "platform/EventPump.h"

#include <QCoreApplication>

namespace quenterra {

QtEventPump::QtEventPump()
{
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    wake_.setInterval(1);
}

void QtEventPump::pump()
{
    wake_.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace quenterra
