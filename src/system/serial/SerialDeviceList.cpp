#include "system/serial/SerialDeviceList.h"

#include <QFileInfo>

#include <utility>

namespace quenterra {

QString RealDevicePath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

SerialDeviceList::SerialDeviceList(Lister lister) : lister_(std::move(lister)) {}

void SerialDeviceList::startListing()
{
    if (!ahead_.valid()) {
        ahead_ = std::async(std::launch::async, lister_);
    }
}

QList<SerialDevice> SerialDeviceList::list()
{
    if (ahead_.valid()) {
        return ahead_.get();  // leaves ahead_ empty: the next list() lists anew
    }
    return lister_();
}

PortMap SerialDeviceList::portMap(const QMap<int, QString>& pins)
{
    return SystemPortMap(list(), pins);
}

}  // namespace quenterra
