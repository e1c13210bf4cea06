#include "system/HostSystem.h"

// POSIX alone tells none of this. On macOS, proc_pidpath() and proc_name() of <libproc.h> would
// tell the executable and a process's name, in a HostSystem_mac.cpp.

namespace quenterra::host {

QByteArray ExecutablePath()
{
    return {};
}

QString FolderByDescriptor(const QByteArray& folder)
{
    Q_UNUSED(folder);
    return {};
}

QString ProcessName(qint64 pid)
{
    Q_UNUSED(pid);
    return {};
}

qint64 FlockHolder(dev_t device, ino_t inode)
{
    Q_UNUSED(device);
    Q_UNUSED(inode);
    return 0;
}

std::optional<bool> IsSerialLine(dev_t device)
{
    Q_UNUSED(device);
    return std::nullopt;
}

qint64 TerminalSession(dev_t device)
{
    Q_UNUSED(device);
    return 0;
}

}  // namespace quenterra::host
