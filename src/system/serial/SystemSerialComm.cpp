#include "system/QtSerialComm.h"

#include <algorithm>
#include <climits>

#include "badge/CommAdvice.h"
#include "system/QtSerialCommSystem.h"

namespace quenterra {

namespace {

using Kind = CommError::Kind;

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
    if (port_) {
        port_->setLineSettings(*parsed);  // refused: the line stays as it was
    }
    lineSettings_ = parsed;
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

std::optional<CommError> QtSerialComm::tryOpen()
{
    // Most numbers the probe tries stand for no device: told without throwing.
    if (!port_ && !portMap_.device(commPort_)) {
        return noSuchPort();
    }
    return SerialComm::tryOpen();
}

CommError QtSerialComm::noSuchPort() const
{
    return {Kind::NoSuchPort,
            QStringLiteral("%1 stands for no serial device.").arg(PortName(commPort_))};
}

void QtSerialComm::open()
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

void QtSerialComm::close()
{
    port_.reset();
    openPath_.clear();
}

void QtSerialComm::requireOpen(const char* operation) const
{
    if (!port_) {
        throw CommError(Kind::NotOpen, QStringLiteral("%1 is not open, so it cannot %2.")
                                           .arg(portLabel(), QLatin1String(operation)));
    }
}

void QtSerialComm::setDTREnable(bool enable)
{
    if (port_) {
        port_->setDtr(enable);
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
    if (!bytes.isEmpty()) {
        port_->write(bytes);
    }
}

int QtSerialComm::outBufferCount()
{
    requireOpen("count the bytes waiting to go out");
    return static_cast<int>(std::min<qint64>(port_->queued(), INT_MAX));
}

}  // namespace quenterra
