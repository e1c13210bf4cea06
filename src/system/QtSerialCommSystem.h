#pragma once

// What the serial-port component asks of the system it runs on: one implementation per system.

#include <QSerialPort>
#include <QString>

#include <optional>

#include "badge/LineSettings.h"

namespace quenterra::serial_system {

// The stop bits to give the system's driver for the stop bits wanted.
QSerialPort::StopBits StopBitsFor(LineSettings::StopBits stopBits);

// How the port is opened: for writing, and on systems that ask for it to change the line
// settings, for reading too. Nothing is ever read.
QIODevice::OpenMode OpenMode();

// The name to open the device at path by; throws CommError NoSuchPort, naming it `what`, when it
// does not exist.
QString OpenLocation(const QString& path, const QString& what);

// Whether the failed open of the device at `location` was refused to this user, as opposed to the
// device being held by someone else.
bool AccessRefused(const QSerialPort& port, const QString& location);

// Whether the failed open found a device that is no serial device.
bool NotSerialDevice(const QSerialPort& port);

// Asserts or clears DTR on the open port; the system's reason when it cannot. A device without
// modem-control lines (a pseudo-terminal) counts as done.
std::optional<QString> SetDtr(QSerialPort& port, bool enable);

// The bytes in the system's transmit queue of the open port; nullopt, with the reason, when the
// system does not tell.
std::optional<qint64> QueuedBytes(QSerialPort& port, QString* reason);

}  // namespace quenterra::serial_system
