#include "system/serial/DeviceClaim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <utility>

#include "platform/SerialComm.h"
#include "system/HostSystem.h"
#include "system/serial/CommAdvice.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

namespace quenterra {

namespace {

using Kind = CommError::Kind;

QString ProcessText(qint64 pid)
{
    const QString name = host::ProcessName(pid);
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

// The process a lock file names: its first line in ASCII, blanks before the digits allowed
// ("%10d\n" as minicom and lockdev write it, or the first of Qt's lines), or a 4-byte binary pid
// as old programs wrote it. Nothing when the file names no process.
std::optional<qint64> LockedPid(const QByteArray& content)
{
    qsizetype i = 0;
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t')) {
        ++i;
    }
    const qsizetype digitsStart = i;
    qint64 pid = 0;
    while (i < content.size() && content[i] >= '0' && content[i] <= '9' && pid < (1LL << 40)) {
        pid = pid * 10 + (content[i] - '0');
        ++i;
    }
    const bool lineEnds = i == content.size() || content[i] == '\n' || content[i] == '\r' ||
                          content[i] == ' ' || content[i] == '\0';
    if (i > digitsStart && lineEnds && pid > 0 && pid <= INT32_MAX) {
        return pid;
    }
    if (content.size() == 4) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        if (binary > 0) {
            return binary;
        }
    }
    return std::nullopt;
}

bool ProcessLives(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Looks at one lock file of the device: throws Busy when it names a live process or names none;
// removes it when its process no longer exists.
void CheckLockFile(const QString& path, const QString& what)
{
    const QByteArray name = QFile::encodeName(path);
    // Never blocks, never follows a link and reads a few bytes only, whatever lies there.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return;
        }
        throw CommError(Kind::Busy,
                        BusyText(what, QStringLiteral("locked by the lock file %1, which cannot be "
                                                      "read (%2)")
                                           .arg(path, qt_error_string(error))));
    }
    struct stat opened {};
    QByteArray content(128, '\0');
    ssize_t count = -1;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        count = ::read(fd, content.data(), content.size());
    }
    ::close(fd);
    content.resize(count > 0 ? count : 0);

    const std::optional<qint64> pid = LockedPid(content);
    if (!pid) {
        throw CommError(
            Kind::Busy,
            QStringLiteral("%1 is locked by the lock file %2, which names no process. Close the "
                           "program that uses the device, or remove that file if none does.")
                .arg(what, path));
    }
    if (ProcessLives(*pid)) {
        throw CommError(Kind::Busy,
                        BusyText(what, QStringLiteral("in use by %1, after its lock file %2")
                                           .arg(ProcessText(*pid), path)));
    }
    // Stale: its process has gone. Removed only while it is still the file that was read.
    struct stat now {};
    if (::lstat(name.constData(), &now) == 0 && now.st_dev == opened.st_dev &&
        now.st_ino == opened.st_ino) {
        ::unlink(name.constData());
    }
}

CommError OpenError(int error, const QString& what, const QString& location)
{
    const QString reason = qt_error_string(error);
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return {Kind::NoSuchPort, QStringLiteral("%1 is not there: %2.").arg(what, reason)};
        case EACCES:
        case EPERM:
            return {
                Kind::PermissionDenied,
                QStringLiteral("You may not open %1. %2").arg(what, DeviceAccessAdvice(location))};
        case EBUSY:
            return {Kind::Busy,
                    BusyText(what, QStringLiteral("in exclusive use by another program"))};
        default:
            return {Kind::Device, QStringLiteral("%1 cannot be opened: %2.").arg(what, reason)};
    }
}

// A tty's close waits until its queue has drained, up to the device's closing_wait (30 s by
// default), but only the device's last close does: no other program has it open then, so the
// bytes left are nobody's to keep. A signal ends that wait after a moment; the system drops them.
void CloseWithoutWaiting(int fd)
{
    int queued = 0;
    struct sigaction quiet {};
    struct sigaction former {};
    quiet.sa_handler = [](int) {};
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued == 0 ||
        ::sigaction(SIGALRM, &quiet, &former) != 0) {
        ::close(fd);
        return;
    }
    std::promise<void> closed;
    std::thread alarm([closing = ::pthread_self(), done = closed.get_future()] {
        if (done.wait_for(std::chrono::milliseconds(200)) == std::future_status::timeout) {
            ::pthread_kill(closing, SIGALRM);
        }
    });
    ::close(fd);
    closed.set_value();
    alarm.join();
    ::sigaction(SIGALRM, &former, nullptr);
}

}  // namespace

QStringList SerialLockDirectories()
{
    QStringList directories;
    QSet<QString> seen;
    for (const char* path : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                             "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const QString directory = QString::fromLatin1(path);
        const QString canonical = QFileInfo(directory).canonicalFilePath();
        if (!canonical.isEmpty() && !seen.contains(canonical)) {
            seen.insert(canonical);
            directories << directory;
        }
    }
    return directories;
}

void DeviceClaim::release()
{
    if (!lockFile_.isEmpty()) {
        const QByteArray name = QFile::encodeName(lockFile_);
        struct stat now {};
        if (::lstat(name.constData(), &now) == 0 && qint64(now.st_dev) == lockDevice_ &&
            qint64(now.st_ino) == lockInode_) {
            ::unlink(name.constData());
        }
        lockFile_.clear();
    }
    if (descriptor_ >= 0) {
        CloseWithoutWaiting(std::exchange(descriptor_, -1));
    }
}

DeviceClaim DeviceClaim::take(const QString& location, const QString& what, LockFile lockFile,
                              const QStringList& lockDirectories)
{
    DeviceClaim claim;
    const QByteArray path = QFile::encodeName(location);
    struct stat device {};
    if (::stat(path.constData(), &device) == 0 &&
        (!S_ISCHR(device.st_mode) || host::IsSerialLine(device.st_rdev) == false)) {
        throw CommError(Kind::Device, QStringLiteral("%1 is not a serial device.").arg(what));
    }
    // Lock files first: a device another program has locked is not even opened, since opening
    // a serial line can raise its modem lines.
    for (const QString& directory : lockDirectories) {
        for (const QString& name : SerialLockNames(location)) {
            CheckLockFile(QDir(directory).filePath(name), what);
        }
    }

    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw OpenError(errno, what, location);
    }
    claim.descriptor_ = fd;  // closed again by the claim if anything below throws

    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        throw CommError(Kind::Device, QStringLiteral("%1 is not a serial device.").arg(what));
    }
#ifdef TIOCGEXCL
    // The superuser's open passes another program's exclusive flag: look at it.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        throw OpenError(EBUSY, what, location);
    }
#endif
    struct stat opened {};
    ::fstat(fd, &opened);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK) {
            throw CommError(
                Kind::Device,
                QStringLiteral("%1 cannot be locked: %2.").arg(what, qt_error_string(error)));
        }
        const qint64 holder = host::FlockHolder(opened.st_dev, opened.st_ino);
        throw CommError(Kind::Busy, BusyText(what, holder > 0 ? QStringLiteral("in use by %1, "
                                                                               "which has it "
                                                                               "locked")
                                                                    .arg(ProcessText(holder))
                                                              : QStringLiteral("locked by another "
                                                                               "program")));
    }
    // Last, as it asks about every process: the terminal of a session (a login's, a shell's).
    if (const qint64 session = host::TerminalSession(opened.st_rdev)) {
        throw CommError(
            Kind::Busy,
            BusyText(what, QStringLiteral("the terminal of %1").arg(ProcessText(session))));
    }
    if (lockFile == LockFile::Write) {
        claim.writeLockFile(location, what, lockDirectories);
    }
    return claim;
}

void DeviceClaim::writeLockFile(const QString& location, const QString& what,
                                const QStringList& lockDirectories)
{
    const QString name = SerialLockNames(location).constFirst();
    for (const QString& directory : lockDirectories) {
        const QString path = QDir(directory).filePath(name);
        const QByteArray encoded = QFile::encodeName(path);
        const auto create = [&] {
            return ::open(encoded.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
        };
        int fd = create();
        if (fd < 0 && errno == EEXIST) {
            // Made since the look above: another program's holds the device, a stale one is
            // removed and the file made afresh.
            CheckLockFile(path, what);
            fd = create();
        }
        if (fd < 0) {
            continue;  // a directory this user may not write
        }
        // The HDB UUCP form that minicom, lockdev and this program read: the pid in ten columns.
        const QByteArray pid =
            QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
        struct stat written {};
        const bool complete = ::write(fd, pid.constData(), size_t(pid.size())) == pid.size() &&
                              ::fstat(fd, &written) == 0;
        ::close(fd);
        if (!complete) {
            ::unlink(encoded.constData());
            continue;
        }
        lockFile_ = path;
        lockDevice_ = qint64(written.st_dev);
        lockInode_ = qint64(written.st_ino);
        return;
    }
}

}  // namespace quenterra
