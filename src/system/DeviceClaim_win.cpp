#include "system/DeviceClaim.h"

namespace quenterra {

// Windows opens a port for one program at a time: the system's own refusal is the claim.

QStringList SerialLockDirectories()
{
    return {};
}

void DeviceClaim::release()
{
    descriptor_ = -1;
}

DeviceClaim DeviceClaim::take(const QString& location, const QString& what,
                              const QStringList& lockDirectories)
{
    Q_UNUSED(location);
    Q_UNUSED(what);
    Q_UNUSED(lockDirectories);
    return {};
}

}  // namespace quenterra
