#include "system/serial/SerialDeviceList.h"

#include <QSerialPortInfo>

namespace quenterra {

QStringList SystemConsoleNames()
{
    return {};  // Windows keeps its console off the serial ports
}

QList<SerialDevice> SystemSerialDevices()
{
    QList<SerialDevice> devices;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        devices.append({info.portName(), info.description()});
    }
    return devices;
}

PortMap SystemPortMap(const QList<SerialDevice>& devices, const QMap<int, QString>& pins)
{
    return WindowsPortNumbers(devices, pins);
}

}  // namespace quenterra
