#pragma once

// What a Unix-like system tells about itself and its other programs, where it tells it. Linux tells
// it through /proc and /sys (HostSystem_linux.cpp); elsewhere (HostSystem_unix.cpp) each answer is
// "unknown", and the callers get by without it.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <optional>

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

// Whether the character device with this number is a serial line (a UART, a USB or Bluetooth
// serial port, the far end of a pseudo-terminal) rather than a console, the pseudo-terminal
// multiplexor or no tty at all; nothing where unknown.
std::optional<bool> IsSerialLine(dev_t device);

// The session whose controlling terminal the tty with this device number is: its leader's process
// id; 0 when it is no session's, or where unknown.
qint64 TerminalSession(dev_t device);

}  // namespace quenterra::host
