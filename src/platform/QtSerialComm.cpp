#include "platform/QtSerialComm.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <climits>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#elif defined(Q_OS_UNIX)
#include <cerrno>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>
#endif

namespace quenterra {

namespace {

using Kind = CommError::Kind;

std::optional<QSerialPort::Parity> ParityFrom(const QString& field)
{
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field.front().toLower().unicode()) {
        case u'n':
            return QSerialPort::NoParity;
        case u'e':
            return QSerialPort::EvenParity;
        case u'o':
            return QSerialPort::OddParity;
        case u'm':
            return QSerialPort::MarkParity;
        case u's':
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> DataBitsFrom(const QString& field)
{
    static const QStringList kAccepted{QStringLiteral("5"), QStringLiteral("6"),
                                       QStringLiteral("7"), QStringLiteral("8")};
    if (!kAccepted.contains(field)) {
        return std::nullopt;
    }
    return static_cast<QSerialPort::DataBits>(field.toInt());
}

std::optional<QSerialPort::StopBits> StopBitsFrom(const QString& field)
{
    if (field == u"1") {
        return QSerialPort::OneStop;
    }
    if (field == u"1.5") {
        return QSerialPort::OneAndHalfStop;
    }
    if (field == u"2") {
        return QSerialPort::TwoStop;
    }
    return std::nullopt;
}

QSerialPort::StopBits StopBitsFor(QSerialPort::StopBits stopBits)
{
#ifdef Q_OS_UNIX
    // Termios has no 1.5 stop bits. Asked for two, a UART sends 1.5 after 5-bit characters, and
    // after longer ones a receiver that expects 1.5 accepts two.
    if (stopBits == QSerialPort::OneAndHalfStop) {
        return QSerialPort::TwoStop;
    }
#endif
    return stopBits;
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
        ok = ok && port.setDataBits(settings.dataBits);
    }
    if (!current || current->parity != settings.parity) {
        ok = ok && port.setParity(settings.parity);
    }
    if (!current || StopBitsFor(current->stopBits) != StopBitsFor(settings.stopBits)) {
        ok = ok && port.setStopBits(StopBitsFor(settings.stopBits));
    }
    return ok;
}

#ifdef Q_OS_UNIX
// Whether the device at `location` refuses this user, as opposed to being held by someone else.
bool AccessRefused(const QSerialPort& port, const QString& location)
{
    if (::access(QFile::encodeName(location).constData(), W_OK) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        return true;
    }
    const QString reason = port.errorString();
    return reason == qt_error_string(EACCES) || reason == qt_error_string(EPERM);
}
#endif

// The failure of QSerialPort::open as a CommError.
CommError OpenFailure(const QSerialPort& port, const QString& what, const QString& location)
{
    const QString busy =
        QStringLiteral("%1 is in use by another program. Close that program and try again.")
            .arg(what);
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return {Kind::NoSuchPort,
                    QStringLiteral("%1 is not there: %2.").arg(what, port.errorString())};
        case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
            // Qt reports a refused user, a device in exclusive use (EBUSY) and another program's
            // lock file all as PermissionError.
            if (AccessRefused(port, location)) {
                return {Kind::PermissionDenied, QStringLiteral("You may not open %1. %2")
                                                    .arg(what, DeviceAccessAdvice(location))};
            }
#else
            Q_UNUSED(location);  // Windows answers "access denied" for a port another program holds
#endif
            return {Kind::Busy, busy};
        default:
            break;
    }
#ifdef Q_OS_UNIX
    if (port.errorString() == qt_error_string(ENOTTY)) {
        return {Kind::Device, QStringLiteral("%1 is not a serial device.").arg(what)};
    }
#endif
    return {Kind::Device, QStringLiteral("%1 cannot be opened: %2.").arg(what, port.errorString())};
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(const QString& text)
{
    QStringList fields = text.split(u',');
    if (fields.size() != 4) {
        return std::nullopt;
    }
    for (QString& field : fields) {
        field = field.trimmed();
    }

    const QString& baud = fields[0];
    const bool digitsOnly = !baud.isEmpty() && std::all_of(baud.begin(), baud.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    bool inRange = false;
    const int baudRate = digitsOnly ? baud.toInt(&inRange) : 0;
    const auto parity = ParityFrom(fields[1]);
    const auto dataBits = DataBitsFrom(fields[2]);
    const auto stopBits = StopBitsFrom(fields[3]);
    if (!inRange || baudRate <= 0 || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineSettings{baudRate, *parity, *dataBits, *stopBits};
}

QString DeviceAccessAdvice(const QString& devicePath)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(devicePath).constData(), &status) == 0 && status.st_gid != 0) {
        const long suggested = ::sysconf(_SC_GETGR_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
        group entry{};
        group* found = nullptr;
        if (::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr) {
            const QString name = QString::fromLocal8Bit(found->gr_name);
            return QStringLiteral(
                       "The device belongs to the group %1; add yourself to the group: "
                       "sudo usermod -aG %1 $USER, then log in again.")
                .arg(name);
        }
    }
#else
    Q_UNUSED(devicePath);
#endif
    return QStringLiteral("Ask the administrator of this computer for access to the device.");
}

QtSerialComm::QtSerialComm(PortMap portMap) : portMap_(std::move(portMap)) {}

QtSerialComm::~QtSerialComm()
{
    close();
}

QString QtSerialComm::portLabel() const
{
    return port_ ? QStringLiteral("COM%1 (%2)").arg(commPort_).arg(openPath_)
                 : QStringLiteral("COM%1").arg(commPort_);
}

void QtSerialComm::setCommPort(int port)
{
    if (port < kFirstPortNumber || port > kLastPortNumber) {
        throw CommError(Kind::InvalidValue,
                        QStringLiteral("There is no port COM%1: port numbers run from %2 to %3.")
                            .arg(port)
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
        throw CommError(Kind::InvalidValue,
                        QStringLiteral("\"%1\" are no line settings. They read baud,parity,data "
                                       "bits,stop bits, such as 1200,n,8,1: parity n, e, o, m "
                                       "or s; 5 to 8 data bits; 1, 1.5 or 2 stop bits.")
                            .arg(settings));
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
                        QStringLiteral("COM%1 stands for no serial device.").arg(commPort_));
    }
    const QString what = QStringLiteral("COM%1 (%2)").arg(commPort_).arg(device->path);

    QString location = device->path;
#ifdef Q_OS_UNIX
    const QFileInfo file(location);
    if (!file.exists()) {
        throw CommError(Kind::NoSuchPort,
                        QStringLiteral("COM%1 stands for %2, which does not exist.")
                            .arg(commPort_)
                            .arg(device->path));
    }
    // By its real name, so that every name of the device shares one lock file.
    location = file.canonicalFilePath();
#endif

    // Before Qt's serial port, which takes any lock file it cannot read as its own for stale, and
    // whose open passes another program's exclusive flag when run by the superuser.
    DeviceClaim claim = DeviceClaim::Take(location, what);

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(location);
    ApplyLineSettings(*port, lineSettings_);
    // Never flow control: the bytes must not wait for a handshake line.
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::WriteOnly)) {
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
#ifdef Q_OS_UNIX
    int lines = TIOCM_DTR;
    if (::ioctl(port_->handle(), enable ? TIOCMBIS : TIOCMBIC, &lines) == 0) {
        return;
    }
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) {
        return;  // no modem-control lines, as on a pseudo-terminal
    }
    const QString reason = qt_error_string(error);
#else
    if (port_->setDataTerminalReady(enable)) {
        return;
    }
    const QString reason = port_->errorString();
    port_->clearError();
#endif
    throw CommError(
        Kind::Device,
        QStringLiteral("%1 cannot %2 DTR: %3.")
            .arg(portLabel(), enable ? QStringLiteral("assert") : QStringLiteral("clear"), reason));
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
    qint64 pending = port_->bytesToWrite();

#if defined(Q_OS_UNIX)
    int queued = 0;
    if (::ioctl(port_->handle(), TIOCOUTQ, &queued) != 0) {
        const QString reason = qt_error_string(errno);
        throw CommError(
            Kind::Device,
            QStringLiteral("%1 does not tell what waits to go out: %2.").arg(portLabel(), reason));
    }
    pending += queued;
#elif defined(Q_OS_WIN)
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port_->handle(), &errors, &status)) {
        const QString reason = qt_error_string(static_cast<int>(::GetLastError()));
        throw CommError(
            Kind::Device,
            QStringLiteral("%1 does not tell what waits to go out: %2.").arg(portLabel(), reason));
    }
    pending += status.cbOutQue;
#endif
    return static_cast<int>(std::min<qint64>(pending, INT_MAX));
}

}  // namespace quenterra
