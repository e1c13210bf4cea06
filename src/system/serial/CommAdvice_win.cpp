#include "system/serial/CommAdvice.h"

namespace quenterra {

QString DeviceAccessAdvice(const QString& devicePath)
{
    Q_UNUSED(devicePath);
    return AskForAccessAdvice();
}

}  // namespace quenterra
