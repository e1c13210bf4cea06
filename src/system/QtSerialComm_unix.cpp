#include "system/QtSerialComm.h"
#include "system/QtSerialCommSystem.h"

#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

#include <vector>

#include "badge/CommAdvice.h"

namespace quenterra {

QString DeviceAccessAdvice(const QString& devicePath)
{
    struct stat status {};
    if (::stat(QFile::encodeName(devicePath).constData(), &status) == 0 && status.st_gid != 0) {
        const long suggested = ::sysconf(_SC_GETGR_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
        group entry{};
        group* found = nullptr;
        if (::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr) {
            return JoinGroupAdvice(QString::fromLocal8Bit(found->gr_name));
        }
    }
    return AskForAccessAdvice();
}

namespace serial_system {

QSerialPort::StopBits StopBitsFor(LineSettings::StopBits stopBits)
{
    // Termios has no 1.5 stop bits. Asked for two, a UART sends 1.5 after 5-bit characters, and
    // after longer ones a receiver that expects 1.5 accepts two.
    switch (stopBits) {
        case LineSettings::OneAndHalfStop:
        case LineSettings::TwoStop:
            return QSerialPort::TwoStop;
        case LineSettings::OneStop:
            break;
    }
    return QSerialPort::OneStop;
}

QIODevice::OpenMode OpenMode()
{
    return QIODevice::WriteOnly;
}

QString OpenLocation(const QString& path, const QString& what)
{
    const QFileInfo file(path);
    if (!file.exists()) {
        throw CommError(CommError::Kind::NoSuchPort,
                        QStringLiteral("%1 stands for %2, which does not exist.").arg(what, path));
    }
    // By its real name, so that every name of the device shares one lock file.
    return file.canonicalFilePath();
}

bool AccessRefused(const QSerialPort& port, const QString& location)
{
    if (::access(QFile::encodeName(location).constData(), W_OK) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        return true;
    }
    const QString reason = port.errorString();
    return reason == qt_error_string(EACCES) || reason == qt_error_string(EPERM);
}

bool NotSerialDevice(const QSerialPort& port)
{
    return port.errorString() == qt_error_string(ENOTTY);
}

std::optional<QString> SetDtr(QSerialPort& port, bool enable)
{
    int lines = TIOCM_DTR;
    if (::ioctl(port.handle(), enable ? TIOCMBIS : TIOCMBIC, &lines) == 0) {
        return std::nullopt;
    }
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) {
        return std::nullopt;  // no modem-control lines, as on a pseudo-terminal
    }
    return qt_error_string(error);
}

std::optional<qint64> QueuedBytes(QSerialPort& port, QString* reason)
{
    int queued = 0;
    if (::ioctl(port.handle(), TIOCOUTQ, &queued) != 0) {
        *reason = qt_error_string(errno);
        return std::nullopt;
    }
    return queued;
}

}  // namespace serial_system
}  // namespace quenterra
