#include "system/serial/OpenPort.h"
#include "system/serial/SystemSerialComm.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "system/serial/DeviceClaim.h"
#include "system/serial/LineTermios.h"

namespace quenterra::serial_system {
namespace {

using Kind = CommError::Kind;

// Whether a failure means the device has gone: unplugged, or hung up by another program.
bool DeviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

bool SameLine(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

// A serial device through the claim's non-blocking descriptor. Bytes the system does not take at
// once wait here, and are handed over as it takes more while the event loop runs (and whenever the
// queue is asked for).
class UnixPort final : public OpenPort {
public:
    UnixPort(DeviceClaim claim, QString location, QString what)
        : claim_(std::move(claim)),
          fd_(claim_.descriptor()),
          location_(std::move(location)),
          what_(std::move(what))
    {
    }
    ~UnixPort() override;

    void setLineSettings(const LineSettings& settings) override;
    void setDtr(bool enable) override;
    void write(const QByteArray& bytes) override;
    qint64 queued() override;

private:
    [[noreturn]] void fail(int error, const QString& doing);
    void throwIfGone() const;
    void handOver();
    bool restoreThrough(int fd) const;

    DeviceClaim claim_;
    int fd_;
    QString location_;
    QString what_;
    std::unique_ptr<QSocketNotifier> writable_;  // while bytes wait
    std::optional<termios> former_;  // the line as it was found, once this program has set it
    termios set_{};                  // the line as this program set it, as the device shows it
    QByteArray waiting_;             // bytes the system has not taken yet: dropped at the close
    QString gone_;                   // why the device takes no more bytes; empty while it does
};

UnixPort::~UnixPort()
{
    if (!former_ || (gone_.isEmpty() && restoreThrough(fd_))) {
        return;
    }
    // The descriptor of a device that was hung up answers nothing any more; a new one reaches it.
    const int fd = ::open(QFile::encodeName(location_).constData(),
                          O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        restoreThrough(fd);
        ::close(fd);
    }
}

// The line's former settings come back only where it still has this program's: another program's
// choice since then stays. False when the line tells nothing through fd.
bool UnixPort::restoreThrough(int fd) const
{
    termios now{};
    if (::tcgetattr(fd, &now) != 0) {
        return false;
    }
    if (SameLine(now, set_)) {
        ::tcsetattr(fd, TCSANOW, &*former_);
    }
    return true;
}

void UnixPort::fail(int error, const QString& doing)
{
    if (DeviceGone(error)) {
        // Nothing more is tried on it: no write, no count, until it is closed.
        waiting_.clear();
        gone_ = QStringLiteral(
                    "%1 no longer answers (%2). Was the device unplugged? Close the "
                    "port and open it again.")
                    .arg(what_, qt_error_string(error));
        throw CommError(Kind::Device, gone_);
    }
    throw CommError(Kind::Device,
                    QStringLiteral("%1 cannot %2: %3.").arg(what_, doing, qt_error_string(error)));
}

void UnixPort::throwIfGone() const
{
    if (!gone_.isEmpty()) {
        throw CommError(Kind::Device, gone_);
    }
}

void UnixPort::setLineSettings(const LineSettings& settings)
{
    throwIfGone();
    termios found{};
    if (::tcgetattr(fd_, &found) != 0) {
        fail(errno, QStringLiteral("tell its line settings"));
    }
    termios line = found;
    const QString text = LineSettingsText(settings);
    if (!SetRawLine(line, settings)) {
        throw CommError(
            Kind::Device,
            QStringLiteral("%1 refuses the settings %2: the system offers no such line.")
                .arg(what_, text));
    }
    if (::tcsetattr(fd_, TCSANOW, &line) != 0) {
        const int error = errno;
        ::tcsetattr(fd_, TCSANOW, &found);  // back as it was
        fail(error, QStringLiteral("take the settings %1").arg(text));
    }
    if (!former_) {
        former_ = found;
    }
    // As the device shows them: a pseudo-terminal, for one, never shows parity.
    if (::tcgetattr(fd_, &set_) != 0) {
        set_ = line;
    }
}

void UnixPort::setDtr(bool enable)
{
    throwIfGone();
    int lines = TIOCM_DTR;
    if (::ioctl(fd_, enable ? TIOCMBIS : TIOCMBIC, &lines) == 0) {
        return;
    }
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) {
        return;  // no modem-control lines, as on a pseudo-terminal
    }
    fail(error, enable ? QStringLiteral("assert DTR") : QStringLiteral("clear DTR"));
}

// Hands the waiting bytes to the system, as many as it takes now; a failure ends the writing and
// drops them, so that nothing is tried again and again.
void UnixPort::handOver()
{
    const auto watch = qScopeGuard([this] {
        if (!waiting_.isEmpty() && !writable_) {
            writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
            QObject::connect(writable_.get(), &QSocketNotifier::activated, [this] {
                try {
                    handOver();
                } catch (const CommError&) {
                    // Kept: every later write or count reports it.
                }
            });
        }
        if (writable_) {
            writable_->setEnabled(!waiting_.isEmpty());
        }
    });
    while (!waiting_.isEmpty()) {
        const ssize_t count = ::write(fd_, waiting_.constData(), size_t(waiting_.size()));
        if (count > 0) {
            waiting_.remove(0, count);
            continue;
        }
        const int error = count < 0 ? errno : EIO;
        if (error == EINTR) {
            continue;
        }
        if (error == EAGAIN || error == EWOULDBLOCK) {
            return;  // the system's queue is full: the rest waits for the next look
        }
        waiting_.clear();
        if (!DeviceGone(error)) {
            gone_ = QStringLiteral("%1 cannot send: %2. Close the port and open it again.")
                        .arg(what_, qt_error_string(error));
        }
        fail(error, QStringLiteral("send"));
    }
}

void UnixPort::write(const QByteArray& bytes)
{
    throwIfGone();
    waiting_ += bytes;
    handOver();
}

qint64 UnixPort::queued()
{
    throwIfGone();
    handOver();
    int inQueue = 0;
    if (::ioctl(fd_, TIOCOUTQ, &inQueue) != 0) {
        fail(errno, QStringLiteral("tell what waits to go out"));
    }
    return waiting_.size() + qint64(inQueue);
}

}  // namespace

std::unique_ptr<OpenPort> Open(const QString& path, const QString& port, const QString& what,
                               const std::optional<LineSettings>& settings)
{
    const QFileInfo file(path);
    if (!file.exists()) {
        throw CommError(Kind::NoSuchPort,
                        QStringLiteral("%1 stands for %2, which does not exist.").arg(port, path));
    }
    // By its real name, so that every name of the device shares one lock file.
    const QString location = file.canonicalFilePath();
    auto opened = std::make_unique<UnixPort>(
        DeviceClaim::take(location, what,
                          settings ? DeviceClaim::LockFile::Write : DeviceClaim::LockFile::None),
        location, what);
    if (settings) {
        opened->setLineSettings(*settings);
    }
    return opened;
}

}  // namespace quenterra::serial_system
