#include "system/HostSystem.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

}  // namespace quenterra::host
