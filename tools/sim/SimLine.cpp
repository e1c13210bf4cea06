#include "SimLine.h"

#include "pty/PseudoTerminal.h"
#include "system/serial/LineTermios.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quenterra {
namespace {

QString systemError(const QString& what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

QString DescribeLine(const LineSettings& settings)
{
    // "1200,n,8,1": baud, parity, data bits, stop bits.
    const QStringList fields = LineSettingsText(settings).split(u',');
    return QStringLiteral("%1 baud %2%3%4")
        .arg(fields[0], fields[2], fields[1].toUpper(), fields[3]);
}

std::unique_ptr<SimLine> SimLine::openPseudoTerminal(QString* error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    PseudoTerminal pair;
    if (!pair.isValid()) {
        *error = pair.error();
        return nullptr;
    }
    line->path_ = pair.slavePath();
    line->fd_ = pair.releaseMaster();
    const QByteArray name = QFile::encodeName(line->path_);
    line->slave_ = ::open(name.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line->slave_ < 0) {
        *error = systemError(QStringLiteral("cannot open ") + line->path_);
        return nullptr;
    }
    // Raw, so no byte is changed on its way (the program sets the line up the same way when it
    // opens it).
    termios settings{};
    if (::tcgetattr(line->slave_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(line->slave_, TCSANOW, &settings);
    }
    return line;
}

std::unique_ptr<SimLine> SimLine::openDevice(const QString& path, const LineSettings& settings,
                                             QString* error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->path_ = path;
    line->fd_ =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->fd_ < 0) {
        *error = systemError(QStringLiteral("cannot open ") + path);
        return nullptr;
    }
    termios device{};
    if (::tcgetattr(line->fd_, &device) != 0) {
        *error = systemError(path + QStringLiteral(" is not a serial device"));
        return nullptr;
    }
    line->saved_ = device;
    const QString wanted = QStringLiteral("cannot set %1 to %2").arg(path, DescribeLine(settings));
    if (!SetRawLine(device, settings)) {
        *error = wanted + QStringLiteral(": this system offers no such line");
        return nullptr;
    }
    // With O_NONBLOCK an empty read then fails with EAGAIN, and reads 0 only when the line hangs
    // up.
    device.c_cc[VMIN] = 1;
    device.c_cc[VTIME] = 0;
    if (::tcsetattr(line->fd_, TCSANOW, &device) != 0) {
        *error = systemError(wanted);
        return nullptr;
    }
    line->restore_ = true;
    ::tcflush(line->fd_, TCIFLUSH);
    return line;
}

SimLine::~SimLine()
{
    if (restore_) {
        ::tcsetattr(fd_, TCSANOW, &saved_);
    }
    if (slave_ >= 0) {
        ::close(slave_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

SimLine::Read SimLine::readAvailable(QByteArray& bytes, QString* error)
{
    bool any = false;
    for (;;) {
        char buffer[512];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, count);
            any = true;
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return any ? Read::Bytes : Read::Nothing;
        }
        *error = count == 0 ? path_ + QStringLiteral(" has closed")
                            : systemError(QStringLiteral("cannot read ") + path_);
        return Read::Gone;
    }
}

}  // namespace quenterra
