#include "system/HostSystem.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace quenterra::host {

QByteArray ExecutablePath()
{
    // The system's own bytes: Qt's answer is empty for a folder whose name is no valid text.
    QByteArray executable(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
    if (length <= 0 || length >= executable.size()) {
        return {};
    }
    executable.truncate(length);
    return executable;
}

QString FolderByDescriptor(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(comm.read(64)).trimmed();
}

qint64 FlockHolder(dev_t device, ino_t inode)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"; a waiting lock reads "1: -> FLOCK ...".
    const QByteArray file = QByteArray::number(major(device), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(minor(device), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(quint64(inode));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[1] == "FLOCK" && fields[5] == file) {
            return fields[4].toLongLong();
        }
    }
    return 0;
}

std::optional<bool> IsSerialLine(dev_t device)
{
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // "usbserial  /dev/ttyUSB  188 0-511 serial": a tty driver, its major and minor numbers, its
    // kind.
    for (const QByteArray& line : drivers.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields[2].toUInt() != major(device)) {
            continue;
        }
        const QList<QByteArray> minors = fields[3].split('-');
        if (minor(device) >= minors.front().toUInt() && minor(device) <= minors.back().toUInt()) {
            return fields[4] == "serial" || fields[4] == "pty:slave";
        }
    }
    return false;  // no tty at all
}

qint64 TerminalSession(dev_t device)
{
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) {
        return 0;
    }
    // A process's controlling terminal, as /proc/PID/stat encodes its device number.
    const long long terminal = (minor(device) & 0xffu) | (major(device) << 8) |
                               (static_cast<long long>(minor(device) & ~0xffu) << 12);
    long long session = 0;
    while (const dirent* entry = ::readdir(processes)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
            continue;
        }
        const int fd =
            ::openat(::dirfd(processes), (QByteArray(entry->d_name) + "/stat").constData(),
                     O_RDONLY | O_CLOEXEC);
        char stat[512];
        const ssize_t length = fd < 0 ? -1 : ::read(fd, stat, sizeof stat - 1);
        if (fd >= 0) {
            ::close(fd);
        }
        stat[length > 0 ? length : 0] = '\0';
        // "1234 (name) S ppid pgrp session tty_nr ...": the name may hold any character.
        const char* fields = std::strrchr(stat, ')');
        long long tty = 0;
        if (fields != nullptr &&
            std::sscanf(fields + 1, " %*c %*d %*d %lld %lld", &session, &tty) == 2 &&
            tty == terminal && tty != 0 && session > 0) {
            break;
        }
        session = 0;
    }
    ::closedir(processes);
    return session;
}

}  // namespace quenterra::host
