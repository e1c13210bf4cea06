#include "system/serial/DeviceClaim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
#include <cerrno>
#include <csignal>

#include <chrono>
#include <future>
#include <thread>

namespace quenterra {

namespace {

using Kind = CommError::Kind;

// Where serial programs keep UUCP lock files, in the order Qt's serial port picks the one it
// writes to.
constexpr const char* kLockDirectories[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                            "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                            "/var/lock/lockdev", "/run/lock"};

// The names a lock file of the device may have: "LCK..ttyUSB0"; for "/dev/pts/3" both "LCK..pts_3"
// (the path below /dev, as Qt and minicom write it) and "LCK..3" (its last part, as picocom does).
QStringList LockNames(const QString& location)
{
    const QString below = location.startsWith(u"/dev/") ? location.mid(5) : location;
    QStringList names{QStringLiteral("LCK..") + QString(below).replace(u'/', u'_')};
    const QString last = QStringLiteral("LCK..") + QFileInfo(location).fileName();
    if (!names.contains(last)) {
        names << last;
    }
    return names;
}

QString ProcessText(qint64 pid)
{
    const QString name = host::ProcessName(pid);
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

bool ProcessLives(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Looks at one lock file of the device: throws Busy when it names a live process, or none; removes
// it when its process has gone. The process is asked here: Qt takes a "%10d\n" file, which names
// no program, for stale even while its process lives.
void CheckLockFile(const QString& path, const QString& what)
{
    const QFileInfo file(path);
    if (!file.exists()) {
        return;
    }
    QLockFile lock(path);
    qint64 pid = 0;
    // Only a plain file is read: a pipe or a device there could be read for ever.
    if (!file.isFile() || !lock.getLockInfo(&pid, nullptr, nullptr)) {
        throw CommError(
            Kind::Busy,
            QStringLiteral("%1 is locked by the lock file %2, which names no process. Close the "
                           "program that uses the device, or remove that file if none does.")
                .arg(what, path));
    }
    if (ProcessLives(pid)) {
        throw CommError(Kind::Busy,
                        BusyText(what, QStringLiteral("in use by %1, after its lock file %2")
                                           .arg(ProcessText(pid), path)));
    }
    lock.removeStaleLockFile();
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
                QStringLiteral("You may not open %1.\n%2").arg(what, DeviceAccessAdvice(location))};
        case EBUSY:
            return {Kind::Busy,
                    BusyText(what, QStringLiteral("in exclusive use by another program"))};
        default:
            return {Kind::Device, QStringLiteral("%1 cannot be opened: %2.").arg(what, reason)};
    }
}

// This program's lock file, in the first lock directory that takes it; none where none does. It is
// written right after the look at the others': Qt would take a "%10d\n" file made in between for
// stale.
std::unique_ptr<QLockFile> WriteLockFile(const QString& name, const QString& what)
{
    for (const char* directory : kLockDirectories) {
        const QString path = QDir(QString::fromLatin1(directory)).filePath(name);
        auto lock = std::make_unique<QLockFile>(path);
        lock->setStaleLockTime(0);  // Qt's default takes a lock older than 30 s for stale
        if (lock->tryLock(0)) {
            return lock;
        }
        if (lock->error() == QLockFile::LockFailedError) {
            CheckLockFile(path, what);  // made since the look
        }
    }
    return nullptr;
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

void DeviceClaim::release()
{
    if (descriptor_ >= 0) {
        CloseWithoutWaiting(std::exchange(descriptor_, -1));
    }
    lockFile_.reset();  // removes it
}

DeviceClaim DeviceClaim::take(const QString& location, const QString& what, LockFile lockFile)
{
    const QByteArray path = QFile::encodeName(location);
    struct stat device {};
    if (::stat(path.constData(), &device) == 0 &&
        (!S_ISCHR(device.st_mode) || host::IsSerialLine(device.st_rdev) == false)) {
        throw CommError(Kind::Device, QStringLiteral("%1 is not a serial device.").arg(what));
    }
    // Lock files first: a device another program has locked is not even opened, since opening
    // a serial line can raise its modem lines.
    const QStringList names = LockNames(location);
    for (const char* directory : kLockDirectories) {
        for (const QString& name : names) {
            CheckLockFile(QDir(QString::fromLatin1(directory)).filePath(name), what);
        }
    }
    DeviceClaim claim;  // lets go of whatever it holds if anything below throws
    if (lockFile == LockFile::Write) {
        claim.lockFile_ = WriteLockFile(names.constFirst(), what);
    }
    claim.descriptor_ = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (claim.descriptor_ < 0) {
        throw OpenError(errno, what, location);
    }
    const int fd = claim.descriptor_;
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
    return claim;
}

}  // namespace quenterra
