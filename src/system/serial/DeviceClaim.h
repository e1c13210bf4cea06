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

// This program's hold on a serial device: a descriptor of its own, opened without changing the
// device (non-blocking, not as the controlling terminal), with an flock on it as picocom and
// others take it, and for a claim that holds the device a while (a sync) a UUCP lock file naming
// this process. Never the exclusive flag (TIOCEXCL): a flag that outlives the program (after a
// signal, or a hang-up that leaves no descriptor to clear it with) would lock everyone out.
//
// Taking it refuses a device another program holds by any of the means serial programs share on
// one machine: a lock file naming a live process (pid in ASCII, "%10d\n" or Qt's lines, or a
// binary pid), an flock on the device, the exclusive flag (TIOCEXCL) set on it, or its being some
// session's controlling terminal. It removes a lock file whose process no longer exists, and never
// touches the others' locks or flag. Where the system tells, a device that is no serial line (a
// console, the pseudo-terminal multiplexor, any device that is not a tty) is refused without being
// opened.
class DeviceClaim {
public:
    // Whether the claim also writes a lock file: a look of a moment needs none.
    enum class LockFile { None, Write };

    DeviceClaim() = default;
    ~DeviceClaim() { release(); }
    DeviceClaim(DeviceClaim&& other) noexcept;
    DeviceClaim& operator=(DeviceClaim&& other) noexcept;
    DeviceClaim(const DeviceClaim&) = delete;
    DeviceClaim& operator=(const DeviceClaim&) = delete;

    // Claims the device at `location` (its real path), named `what` in messages ("COM3
    // (/dev/ttyUSB0)"). Throws CommError: Busy when another program holds it (the message names
    // that program where it can be known), NoSuchPort, PermissionDenied or Device otherwise. The
    // lock file goes into the first of lockDirectories that takes it; where none does, the flock
    // alone holds the device.
    static DeviceClaim take(const QString& location, const QString& what, LockFile lockFile,
                            const QStringList& lockDirectories = SerialLockDirectories());

    // The claim's descriptor of the device, open for writing; -1 where the system has none.
    int descriptor() const { return descriptor_; }

    // Lets the device go: closing the descriptor releases the flock (the close does not wait long
    // for a queue that does not drain), and the lock file is removed while it is still the one this
    // claim wrote.
    void release();

private:
    void writeLockFile(const QString& location, const QString& what,
                       const QStringList& lockDirectories);

    int descriptor_ = -1;
    QString lockFile_;  // the lock file written, empty when none
    qint64 lockDevice_ = 0;
    qint64 lockInode_ = 0;
};

}  // namespace quenterra
