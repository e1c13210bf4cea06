#pragma once

#include <QString>
#include <QStringList>

namespace quenterra {

// The directories where serial programs keep UUCP lock files ("LCK..ttyUSB0"), in the order Qt's
// serial port picks the one it writes to.
QStringList SerialLockDirectories();

// The names a UUCP lock file of the device at `location` may have: "LCK..ttyUSB0"; for
// "/dev/pts/3" both "LCK..pts_3" (the path below /dev, as Qt and minicom write it) and "LCK..3".
QStringList SerialLockNames(const QString& location);

// This program's hold on a serial device, beside the lock file and exclusive flag that Qt's serial
// port takes: an flock on a descriptor of its own, as picocom and others take it.
//
// Taking it refuses a device another program holds by any of the means serial programs share on
// one machine: a lock file naming a live process (pid in ASCII, "%10d\n" or Qt's lines, or a
// binary pid), an flock on the device, or the exclusive flag (TIOCEXCL) set on it. It removes a
// lock file whose process no longer exists, and never touches the others' locks or flag.
// Elsewhere than on Unix-like systems taking it does nothing.
class DeviceClaim {
public:
    DeviceClaim() = default;
    ~DeviceClaim() { release(); }
    DeviceClaim(DeviceClaim&& other) noexcept;
    DeviceClaim& operator=(DeviceClaim&& other) noexcept;
    DeviceClaim(const DeviceClaim&) = delete;
    DeviceClaim& operator=(const DeviceClaim&) = delete;

    // Claims the device at `location` (its real path), named `what` in messages ("COM3
    // (/dev/ttyUSB0)"). Throws CommError: Busy when another program holds it (the message names
    // that program where it can be known), NoSuchPort, PermissionDenied or Device otherwise.
    static DeviceClaim take(const QString& location, const QString& what,
                            const QStringList& lockDirectories = SerialLockDirectories());

    // Lets the device go; closing the descriptor releases the flock.
    void release();

private:
    int descriptor_ = -1;
};

}  // namespace quenterra
