#include "system/serial/DeviceClaim.h"

#include <QFileInfo>

#include <utility>

namespace quenterra {

QStringList SerialLockNames(const QString& location)
{
    QString below = location;
    if (below.startsWith(u"/dev/")) {
        below.remove(0, 5);
    }
    QStringList names{QStringLiteral("LCK..") + QString(below).replace(u'/', u'_')};
    const QString base = QFileInfo(location).fileName();
    if (!base.isEmpty() && !names.contains(QStringLiteral("LCK..") + base)) {
        names << QStringLiteral("LCK..") + base;
    }
    return names;
}

DeviceClaim::DeviceClaim(DeviceClaim&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      lockFile_(std::exchange(other.lockFile_, QString())),
      lockDevice_(other.lockDevice_),
      lockInode_(other.lockInode_)
{
}

DeviceClaim& DeviceClaim::operator=(DeviceClaim&& other) noexcept
{
    if (this != &other) {
        release();
        descriptor_ = std::exchange(other.descriptor_, -1);
        lockFile_ = std::exchange(other.lockFile_, QString());
        lockDevice_ = other.lockDevice_;
        lockInode_ = other.lockInode_;
    }
    return *this;
}

}  // namespace quenterra
