#include "system/SerialDeviceList.h"

#include <QFile>
#include <QSerialPortInfo>

namespace quenterra {

QStringList SystemConsoleNames()
{
#ifdef Q_OS_LINUX
    QFile active(QStringLiteral("/sys/class/tty/console/active"));
    if (active.open(QIODevice::ReadOnly)) {
        return QString::fromLocal8Bit(active.readAll())
            .simplified()
            .split(u' ', Qt::SkipEmptyParts);
    }
#endif
    return {};
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
