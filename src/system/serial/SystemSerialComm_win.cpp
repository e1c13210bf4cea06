#include "system/serial/OpenPort.h"
#include "system/serial/SystemSerialComm.h"

#include <QSerialPort>

#include <qt_windows.h>

#include "system/serial/CommAdvice.h"

namespace quenterra {

namespace serial_system {
namespace {

using Kind = CommError::Kind;

QSerialPort::Parity ParityFor(LineSettings::Parity parity)
{
    switch (parity) {
        case LineSettings::EvenParity:
            return QSerialPort::EvenParity;
        case LineSettings::OddParity:
            return QSerialPort::OddParity;
        case LineSettings::MarkParity:
            return QSerialPort::MarkParity;
        case LineSettings::SpaceParity:
            return QSerialPort::SpaceParity;
        case LineSettings::NoParity:
            break;
    }
    return QSerialPort::NoParity;
}

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

// Hands the settings to the port, which applies them at once when open and at the next open
// otherwise. An open port is only told what differs from `current`: Qt reads each change back
// from the device.
bool ApplyLineSettings(QSerialPort& port, const LineSettings& settings,
                       const LineSettings* current = nullptr)
{
    bool ok = true;
    if (!current || current->baudRate != settings.baudRate) {
        ok = ok && port.setBaudRate(settings.baudRate);
    }
    if (!current || current->dataBits != settings.dataBits) {
        ok = ok && port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    }
    if (!current || current->parity != settings.parity) {
        ok = ok && port.setParity(ParityFor(settings.parity));
    }
    if (!current || current->stopBits != settings.stopBits) {
        ok = ok && port.setStopBits(StopBitsFor(settings.stopBits));
    }
    return ok;
}

// A port through QSerialPort. Windows lets one program at a time open a port, so an open without
// line settings changes nothing anyone else sees: Qt gives the port its defaults while it is open
// and the settings it had when it closes.
class WindowsPort final : public OpenPort {
public:
    WindowsPort(std::unique_ptr<QSerialPort> port, QString what,
                const std::optional<LineSettings>& settings)
        : port_(std::move(port)), what_(std::move(what)), settings_(settings)
    {
    }
    ~WindowsPort() override
    {
        // Discards what has not gone out, so that closing never waits for the line; a device that
        // has gone refuses, and closes all the same.
        port_->clear(QSerialPort::Output);
        port_->close();
    }

    void setLineSettings(const LineSettings& settings) override
    {
        if (!ApplyLineSettings(*port_, settings, settings_ ? &*settings_ : nullptr)) {
            const QString reason = port_->errorString();
            port_->clearError();
            if (settings_) {
                ApplyLineSettings(*port_, *settings_, &settings);  // back as it was
                port_->clearError();
            }
            throw CommError(Kind::Device, QStringLiteral("%1 refuses the settings %2: %3.")
                                              .arg(what_, LineSettingsText(settings), reason));
        }
        settings_ = settings;
    }

    void setDtr(bool enable) override
    {
        // Through the line's settings, which every serial driver takes, where EscapeCommFunction is
        // refused by some (a pseudo-terminal under Wine).
        DCB line{};
        line.DCBlength = sizeof line;
        if (!::GetCommState(port_->handle(), &line)) {
            throwSystemFailure(enable ? "assert DTR" : "clear DTR");
        }
        line.fDtrControl = enable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (!::SetCommState(port_->handle(), &line)) {
            throwSystemFailure(enable ? "assert DTR" : "clear DTR");
        }
    }

    void write(const QByteArray& bytes) override
    {
        throwIfDeviceFailed();
        if (port_->write(bytes) != bytes.size()) {
            const QString reason = port_->errorString();
            port_->clearError();
            throw CommError(Kind::Device, QStringLiteral("%1 cannot send: %2.").arg(what_, reason));
        }
    }

    qint64 queued() override
    {
        throwIfDeviceFailed();
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(port_->handle(), &errors, &status)) {
            throwSystemFailure("tell what waits to go out");
        }
        return port_->bytesToWrite() + qint64(status.cbOutQue);
    }

private:
    [[noreturn]] void throwSystemFailure(const char* doing) const
    {
        throw CommError(Kind::Device, QStringLiteral("%1 cannot %2: %3.")
                                          .arg(what_, QLatin1String(doing),
                                               qt_error_string(int(::GetLastError()))));
    }

    void throwIfDeviceFailed()
    {
        const QSerialPort::SerialPortError error = port_->error();
        if (error == QSerialPort::NoError) {
            return;
        }
        const QString reason = port_->errorString();
        if (error == QSerialPort::ResourceError) {
            // Stays until the port closes: the device was unplugged or its other end went away.
            throw CommError(Kind::Device,
                            QStringLiteral("%1 no longer answers (%2). Was the device unplugged? "
                                           "Close the port and open it again.")
                                .arg(what_, reason));
        }
        port_->clearError();
        throw CommError(Kind::Device, QStringLiteral("%1 failed: %2.").arg(what_, reason));
    }

    std::unique_ptr<QSerialPort> port_;
    QString what_;
    std::optional<LineSettings> settings_;
};

// The failure of QSerialPort::open as a CommError. Windows answers "access denied" for a port
// another program holds: it counts as busy.
CommError OpenFailure(const QSerialPort& port, const QString& what)
{
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return {Kind::NoSuchPort,
                    QStringLiteral("%1 is not there: %2.").arg(what, port.errorString())};
        case QSerialPort::PermissionError:
            return {Kind::Busy, BusyText(what, QStringLiteral("in use by another program"))};
        default:
            break;
    }
    return {Kind::Device, QStringLiteral("%1 cannot be opened: %2.").arg(what, port.errorString())};
}

}  // namespace

std::unique_ptr<OpenPort> Open(const QString& path, const QString& port, const QString& what,
                               const std::optional<LineSettings>& settings)
{
    Q_UNUSED(port);
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(path);  // "COM3": the system finds the device by its name
    if (settings) {
        ApplyLineSettings(*serial, *settings);
    }
    // Never flow control: the bytes must not wait for a handshake line.
    serial->setFlowControl(QSerialPort::NoFlowControl);
    // Read and write: Wine refuses to read or set the line settings of a port opened for writing
    // alone. Nothing is ever read.
    if (!serial->open(QIODevice::ReadWrite)) {
        throw OpenFailure(*serial, what);
    }
    serial->clearError();  // Qt notes failures it went past
    return std::make_unique<WindowsPort>(std::move(serial), what, settings);
}

}  // namespace serial_system
}  // namespace quenterra
