#include "system/QtSerialComm.h"
#include "system/QtSerialCommSystem.h"

#include <qt_windows.h>

#include "badge/CommAdvice.h"

namespace quenterra {

QString DeviceAccessAdvice(const QString& devicePath)
{
    Q_UNUSED(devicePath);
    return AskForAccessAdvice();
}

namespace serial_system {

QSerialPort::StopBits StopBitsFor(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
        case LineSettings::OneAndHalfStop:
            return QSerialPort::OneAndHalfStop;
        case LineSettings::TwoStop:
            return QSerialPort::TwoStop;
        case LineSettings::OneStop:
            break;
    }
    return QSerialPort::OneStop;
}

QString OpenLocation(const QString& path, const QString& what)
{
    Q_UNUSED(what);
    return path;  // "COM3": the system finds the device by its name
}

bool AccessRefused(const QSerialPort& port, const QString& location)
{
    // Windows answers "access denied" for a port another program holds: it counts as busy.
    Q_UNUSED(port);
    Q_UNUSED(location);
    return false;
}

bool NotSerialDevice(const QSerialPort& port)
{
    Q_UNUSED(port);
    return false;
}

std::optional<QString> SetDtr(QSerialPort& port, bool enable)
{
    if (port.setDataTerminalReady(enable)) {
        return std::nullopt;
    }
    const QString reason = port.errorString();
    port.clearError();
    return reason;
}

std::optional<qint64> QueuedBytes(QSerialPort& port, QString* reason)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port.handle(), &errors, &status)) {
        *reason = qt_error_string(static_cast<int>(::GetLastError()));
        return std::nullopt;
    }
    return static_cast<qint64>(status.cbOutQue);
}

}  // namespace serial_system
}  // namespace quenterra
