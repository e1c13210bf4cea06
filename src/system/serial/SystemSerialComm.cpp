#include "system/serial/SystemSerialComm.h"

#include <algorithm>
#include <climits>

#include "system/serial/CommAdvice.h"
#include "system/serial/OpenPort.h"

namespace quenterra {

namespace {

using Kind = CommError::Kind;

}  // namespace

SystemSerialComm::SystemSerialComm(PortMap portMap) : portMap_(std::move(portMap)) {}

SystemSerialComm::~SystemSerialComm()
{
    close();
}

QString SystemSerialComm::portLabel() const
{
    return port_ ? QStringLiteral("%1 (%2)").arg(PortName(commPort_), openPath_)
                 : PortName(commPort_);
}

void SystemSerialComm::setCommPort(int port)
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

void SystemSerialComm::setSettings(const QString& settings)
{
    const std::optional<LineSettings> parsed = ParseLineSettings(settings);
    if (!parsed) {
        throw CommError(Kind::InvalidValue, NoLineSettingsText(settings));
    }
    if (port_) {
        port_->setLineSettings(*parsed);  // refused: the line stays as it was
    }
    lineSettings_ = parsed;
    settingsText_ = settings;
}

bool SystemSerialComm::portOpen() const
{
    return port_ != nullptr;
}

void SystemSerialComm::setPortOpen(bool open)
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

std::optional<CommError> SystemSerialComm::tryOpen()
{
    // Most numbers the probe tries stand for no device: told without throwing.
    if (!port_ && !portMap_.device(commPort_)) {
        return noSuchPort();
    }
    return SerialComm::tryOpen();
}

CommError SystemSerialComm::noSuchPort() const
{
    return {Kind::NoSuchPort,
            QStringLiteral("%1 stands for no serial device.").arg(PortName(commPort_))};
}

void SystemSerialComm::open()
{
    const std::optional<SerialDevice> device = portMap_.device(commPort_);
    if (!device) {
        throw noSuchPort();
    }
    const QString what = QStringLiteral("%1 (%2)").arg(PortName(commPort_), device->path);
    port_ = serial_system::Open(device->path, PortName(commPort_), what, lineSettings_);
    openPath_ = device->path;

    if (!dtrEnable_ || !lineSettings_) {
        return;  // clearing it now would pulse the line the open has just raised
    }
    try {
        port_->setDtr(true);
    } catch (const CommError&) {
        close();
        throw;
    }
}

void SystemSerialComm::close()
{
    port_.reset();
    openPath_.clear();
}

void SystemSerialComm::requireOpen(const char* operation) const
{
    if (!port_) {
        throw CommError(Kind::NotOpen, QStringLiteral("%1 is not open, so it cannot %2.")
                                           .arg(portLabel(), QLatin1String(operation)));
    }
}

void SystemSerialComm::setDTREnable(bool enable)
{
    if (port_) {
        port_->setDtr(enable);
    }
    dtrEnable_ = enable;
}

void SystemSerialComm::output(const QString& text)
{
    output(text.toLatin1());
}

void SystemSerialComm::output(const QByteArray& bytes)
{
    requireOpen("send");
    if (!bytes.isEmpty()) {
        port_->write(bytes);
    }
}

int SystemSerialComm::outBufferCount()
{
    requireOpen("count the bytes waiting to go out");
    return static_cast<int>(std::min<qint64>(port_->queued(), INT_MAX));
}

}  // namespace quenterra
