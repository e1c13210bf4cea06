#include "SimLine.h"

#include "pty/PseudoTerminal.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quenterra {
namespace {

QString systemError(const QString& what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

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

std::unique_ptr<SimLine> SimLine::openDevice(const QString& path, QString* error)
{
    std::unique_ptr<SimLine> line(new SimLine);
    line->path_ = path;
    line->fd_ =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->fd_ < 0) {
        *error = systemError(QStringLiteral("cannot open ") + path);
        return nullptr;
    }
    termios settings{};
    if (::tcgetattr(line->fd_, &settings) != 0) {
        *error = systemError(path + QStringLiteral(" is not a serial device"));
        return nullptr;
    }
    line->saved_ = settings;
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // With O_NONBLOCK an empty read then fails with EAGAIN, and reads 0 only when the line hangs
    // up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, B1200) != 0 || ::cfsetospeed(&settings, B1200) != 0 ||
        ::tcsetattr(line->fd_, TCSANOW, &settings) != 0) {
        *error = systemError(QStringLiteral("cannot set %1 to 1200 baud 8N1").arg(path));
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
