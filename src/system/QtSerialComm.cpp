#include "system/QtSerialComm.h"

#include <algorithm>
#include <climits>

#include "badge/CommAdvice.h"
#include "system/QtSerialCommSystem.h"

namespace quenterra {

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

// Hands the settings to the port, which applies them at once when open and at the next open
// otherwise. An open port is only told what differs from `current`: Qt reads each change back
// from the device, and some devices (a pseudo-terminal) never show parity.
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
    if (!current || serial_system::StopBitsFor(current->stopBits) !=
                        serial_system::StopBitsFor(settings.stopBits)) {
        ok = ok && port.setStopBits(serial_system::StopBitsFor(settings.stopBits));
    }
    return ok;
}

// The failure of QSerialPort::open as a CommError.
CommError OpenFailure(const QSerialPort& port, const QString& what, const QString& location)
{
    const QString busy = BusyText(what, QStringLiteral("in use by another program"));
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return {Kind::NoSuchPort,
                    QStringLiteral("%1 is not there: %2.").arg(what, port.errorString())};
        case QSerialPort::PermissionError:
            // Qt reports a refused user, a device in exclusive use and another program's lock file
            // all as PermissionError.
            if (serial_system::AccessRefused(port, location)) {
                return {Kind::PermissionDenied, QStringLiteral("You may not open %1. %2")
                                                    .arg(what, DeviceAccessAdvice(location))};
            }
            return {Kind::Busy, busy};
        default:
            break;
    }
    if (serial_system::NotSerialDevice(port)) {
        return {Kind::Device, QStringLiteral("%1 is not a serial device.").arg(what)};
    }
    return {Kind::Device, QStringLiteral("%1 cannot be opened: %2.").arg(what, port.errorString())};
}

}  // namespace

QtSerialComm::QtSerialComm(PortMap portMap) : portMap_(std::move(portMap)) {}

QtSerialComm::~QtSerialComm()
{
    close();
}

QString QtSerialComm::portLabel() const
{
    return port_ ? QStringLiteral("%1 (%2)").arg(PortName(commPort_), openPath_)
                 : PortName(commPort_);
}

void QtSerialComm::setCommPort(int port)
{
    if (port < kFirstPortNumber || port > kLastPortNumber) {
        throw CommError(Kind::InvalidValue,
                        QStringLiteral("There is no port %1: port numbers run from %2 to %3.")
                            .arg(PortName(port))
                            .arg(kFirstPortNumber)
                            .arg(kLastPortNumber));
    }
    if (port_) {
        throw CommError(
            Kind::InvalidValue,
            QStringLiteral("The port number cannot change while %1 is open.").arg(portLabel()));
    }
    commPort_ = port;
}

void QtSerialComm::setSettings(const QString& settings)
{
    const std::optional<LineSettings> parsed = ParseLineSettings(settings);
    if (!parsed) {
        throw CommError(Kind::InvalidValue, NoLineSettingsText(settings));
    }
    if (port_ && !ApplyLineSettings(*port_, *parsed, &lineSettings_)) {
        const QString reason = port_->errorString();
        port_->clearError();
        ApplyLineSettings(*port_, lineSettings_, &*parsed);  // back as it was
        port_->clearError();
        throw CommError(
            Kind::Device,
            QStringLiteral("%1 refuses the settings %2: %3.").arg(portLabel(), settings, reason));
    }
    lineSettings_ = *parsed;
    settingsText_ = settings;
}

bool QtSerialComm::portOpen() const
{
    return port_ != nullptr;
}

void QtSerialComm::setPortOpen(bool open)
{
    if (!open) {
        close();
        return;
    }
    if (port_) {
        throw CommError(Kind::InvalidValue, QStringLiteral("%1 is already open.").arg(portLabel()));
    }
    this->open();
}

void QtSerialComm::open()
{
    const std::optional<SerialDevice> device = portMap_.device(commPort_);
    if (!device) {
        throw CommError(Kind::NoSuchPort,
                        QStringLiteral("%1 stands for no serial device.").arg(PortName(commPort_)));
    }
    const QString what = QStringLiteral("%1 (%2)").arg(PortName(commPort_), device->path);
    const QString location = serial_system::OpenLocation(device->path, PortName(commPort_));

    // Before Qt's serial port, which takes any lock file it cannot read as its own for stale, and
    // whose open passes another program's exclusive flag when run by the superuser.
    DeviceClaim claim = DeviceClaim::take(location, what);

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(location);
    ApplyLineSettings(*port, lineSettings_);
    // Never flow control: the bytes must not wait for a handshake line.
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(serial_system::OpenMode())) {
        throw OpenFailure(*port, what, location);
    }
    port->clearError();  // Qt notes failures it went past, such as a refused exclusive mode
    claim_ = std::move(claim);
    port_ = std::move(port);
    openPath_ = device->path;

    if (!dtrEnable_) {
        return;  // clearing it now would pulse the line the open has just raised
    }
    try {
        applyDtr(true);
    } catch (const CommError&) {
        close();
        throw;
    }
}

void QtSerialComm::close()
{
    if (!port_) {
        return;
    }
    // Discard what has not gone out, so that closing never waits for the line; a device that
    // has gone refuses, and closes all the same.
    port_->clear(QSerialPort::Output);
    port_->close();
    port_.reset();
    claim_.release();
    openPath_.clear();
}

void QtSerialComm::requireOpen(const char* operation) const
{
    if (!port_) {
        throw CommError(Kind::NotOpen, QStringLiteral("%1 is not open, so it cannot %2.")
                                           .arg(portLabel(), QLatin1String(operation)));
    }
}

void QtSerialComm::throwIfDeviceFailed()
{
    const QSerialPort::SerialPortError error = port_->error();
    if (error == QSerialPort::NoError) {
        return;
    }
    const QString reason = port_->errorString();
    if (error == QSerialPort::ResourceError) {
        // Stays until the port closes: the device was unplugged or its other end went away.
        throw CommError(Kind::Device,
                        QStringLiteral("%1 no longer answers (%2). Was the device unplugged? Close "
                                       "the port and open it again.")
                            .arg(portLabel(), reason));
    }
    port_->clearError();
    throw CommError(Kind::Device, QStringLiteral("%1 failed: %2.").arg(portLabel(), reason));
}

void QtSerialComm::applyDtr(bool enable)
{
    const std::optional<QString> failure = serial_system::SetDtr(*port_, enable);
    if (!failure) {
        return;
    }
    throw CommError(
        Kind::Device,
        QStringLiteral("%1 cannot %2 DTR: %3.")
            .arg(portLabel(), enable ? QStringLiteral("assert") : QStringLiteral("clear"),
                 *failure));
}

void QtSerialComm::setDTREnable(bool enable)
{
    if (port_) {
        applyDtr(enable);
    }
    dtrEnable_ = enable;
}

void QtSerialComm::output(const QString& text)
{
    output(text.toLatin1());
}

void QtSerialComm::output(const QByteArray& bytes)
{
    requireOpen("send");
    throwIfDeviceFailed();
    if (bytes.isEmpty()) {
        return;
    }
    if (port_->write(bytes) != bytes.size()) {
        const QString reason = port_->errorString();
        port_->clearError();
        throw CommError(Kind::Device,
                        QStringLiteral("%1 cannot send: %2.").arg(portLabel(), reason));
    }
}

int QtSerialComm::outBufferCount()
{
    requireOpen("count the bytes waiting to go out");
    throwIfDeviceFailed();
    QString reason;
    const std::optional<qint64> queued = serial_system::QueuedBytes(*port_, &reason);
    if (!queued) {
        throw CommError(
            Kind::Device,
            QStringLiteral("%1 does not tell what waits to go out: %2.").arg(portLabel(), reason));
    }
    const qint64 pending = port_->bytesToWrite() + *queued;
    return static_cast<int>(std::min<qint64>(pending, INT_MAX));
}

}  // namespace quenterra
