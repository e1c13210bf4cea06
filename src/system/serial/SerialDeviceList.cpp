#include "system/serial/SerialDeviceList.h"

#include <QFileInfo>

namespace quenterra {

QString RealDevicePath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

}  // namespace quenterra
