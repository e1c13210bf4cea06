#include "system/serial/SerialDeviceList.h"

#include <QSerialPortInfo>

namespace quenterra {

QStringList SystemConsoleNames()
{
    return {};  // POSIX does not tell; macOS keeps its console off the serial ports
}

QList<SerialDevice> SystemSerialDevices()
{
    QList<SerialDevice> devices;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        devices.append({info.systemLocation(), info.description()});
    }
    return devices;
}

PortMap SystemPortMap(const QList<SerialDevice>& devices, const QMap<int, QString>& pins)
{
    return AssignPortNumbers(devices, pins, SystemConsoleNames(), RealDevicePath);
}

}  // namespace quenterra
