#pragma once

// What a Unix-like system tells about itself and its other programs, where it tells it. Linux tells
// it through /proc and /sys (HostSystem_linux.cpp); elsewhere (HostSystem_unix.cpp) each answer is
// "unknown", and the callers get by without it.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace quenterra::host {

// The running program's executable, in the system's own bytes; empty where unknown.
QByteArray ExecutablePath();

// A name by which the program reaches the folder `folder` (the system's bytes) for as long as it
// runs, whatever the folder is called: a path through an open descriptor. Empty where the system
// has no such name.
QString FolderByDescriptor(const QByteArray& folder);

// The name of the running program with process id `pid`; empty where unknown.
QString ProcessName(qint64 pid);

// The process holding an flock on the file with this device and inode number; 0 where unknown.
qint64 FlockHolder(dev_t device, ino_t inode);

}  // namespace quenterra::host
