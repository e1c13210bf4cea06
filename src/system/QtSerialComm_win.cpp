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

QIODevice::OpenMode OpenMode()
{
    // Wine refuses to read or set the line settings of a port opened for writing alone.
    return QIODevice::ReadWrite;
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
    // Through the line's settings, which every serial driver takes, where EscapeCommFunction is
    // refused by some (a pseudo-terminal under Wine).
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(port.handle(), &settings)) {
        return qt_error_string(static_cast<int>(::GetLastError()));
    }
    settings.fDtrControl = enable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (!::SetCommState(port.handle(), &settings)) {
        return qt_error_string(static_cast<int>(::GetLastError()));
    }
    return std::nullopt;
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
