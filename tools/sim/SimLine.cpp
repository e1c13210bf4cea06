#include "SimLine.h"

#include "pty/PseudoTerminal.h"

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

// The termios speed of a baud rate; B0 for a rate termios has no speed for.
speed_t SpeedFor(qint32 baud)
{
    static constexpr std::pair<qint32, speed_t> kSpeeds[] = {
        {50, B50},       {75, B75},        {110, B110},   {134, B134},     {150, B150},
        {200, B200},     {300, B300},      {600, B600},   {1200, B1200},   {1800, B1800},
        {2400, B2400},   {4800, B4800},    {9600, B9600}, {19200, B19200}, {38400, B38400},
        {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, speed] : kSpeeds) {
        if (rate == baud) {
            return speed;
        }
    }
    return B0;
}

// Sets the character frame: data bits, parity and stop bits, no flow control, the receiver on.
bool SetFrame(termios& device, const LineSettings& settings)
{
    device.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    device.c_cflag &= ~CMSPAR;
#endif
    device.c_cflag |= CLOCAL | CREAD;
    switch (settings.dataBits) {
        case LineSettings::Data5:
            device.c_cflag |= CS5;
            break;
        case LineSettings::Data6:
            device.c_cflag |= CS6;
            break;
        case LineSettings::Data7:
            device.c_cflag |= CS7;
            break;
        case LineSettings::Data8:
            device.c_cflag |= CS8;
            break;
    }
    switch (settings.parity) {
        case LineSettings::NoParity:
            break;
        case LineSettings::EvenParity:
            device.c_cflag |= PARENB;
            break;
        case LineSettings::OddParity:
            device.c_cflag |= PARENB | PARODD;
            break;
        case LineSettings::MarkParity:
        case LineSettings::SpaceParity:
#ifdef CMSPAR
            device.c_cflag |=
                PARENB | CMSPAR | (settings.parity == LineSettings::MarkParity ? PARODD : 0);
            break;
#else
            return false;
#endif
    }
    if (settings.stopBits != LineSettings::OneStop) {
        device.c_cflag |= CSTOPB;  // termios has no 1.5 stop bits: a UART sends 1.5 for CS5
    }
    return true;
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
    ::cfmakeraw(&device);
    // With O_NONBLOCK an empty read then fails with EAGAIN, and reads 0 only when the line hangs
    // up.
    device.c_cc[VMIN] = 1;
    device.c_cc[VTIME] = 0;
    const QString wanted = QStringLiteral("cannot set %1 to %2").arg(path, DescribeLine(settings));
    const speed_t speed = SpeedFor(settings.baudRate);
    if (speed == B0 || !SetFrame(device, settings)) {
        *error = wanted + QStringLiteral(": this system offers no such line");
        return nullptr;
    }
    if (::cfsetispeed(&device, speed) != 0 || ::cfsetospeed(&device, speed) != 0 ||
        ::tcsetattr(line->fd_, TCSANOW, &device) != 0) {
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
