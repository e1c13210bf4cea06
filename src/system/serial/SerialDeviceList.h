#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "badge/PortMap.h"

namespace quenterra {

// The names of the devices this machine uses as its console ("ttyS0"); empty where unknown.
QStringList SystemConsoleNames();

// The serial devices the system lists now.
QList<SerialDevice> SystemSerialDevices();

// The device path with symbolic links resolved; empty when there is nothing at path.
QString RealDevicePath(const QString& path);

// The map of the given devices, numbered the way this system does, with the user's pins.
PortMap SystemPortMap(const QList<SerialDevice>& devices, const QMap<int, QString>& pins);

}  // namespace quenterra
