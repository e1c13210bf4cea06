#pragma once

#include <QLockFile>
#include <QString>

#include <memory>
#include <utility>

namespace quenterra {

// This program's hold on a serial device (Unix-like systems): a descriptor of its own, opened
// without changing the device (non-blocking, not as the controlling terminal), with an flock on it
// as picocom and others take it, and for a claim that holds the device a while (a sync) a UUCP
// lock file naming this process, written by Qt. Never the exclusive flag (TIOCEXCL): a flag that
// outlives the program (after a signal, or a hang-up that leaves no descriptor to clear it with)
// would lock everyone out.
//
// Taking it refuses a device another program holds by any of the means serial programs share on
// one machine: a lock file naming a live process ("%10d\n" or Qt's lines), an flock on the device,
// the exclusive flag set on it, or its being some session's controlling terminal. It removes a lock
// file whose process no longer exists, and never touches the others' locks or flag. Where the
// system tells, a device that is no serial line (a console, the pseudo-terminal multiplexor, any
// device that is not a tty) is refused without being opened.
class DeviceClaim {
public:
    // Whether the claim also writes a lock file: a look of a moment needs none.
    enum class LockFile { None, Write };

    DeviceClaim() = default;
    ~DeviceClaim() { release(); }
    DeviceClaim(DeviceClaim&& other) noexcept
        : descriptor_(std::exchange(other.descriptor_, -1)), lockFile_(std::move(other.lockFile_))
    {
    }
    DeviceClaim& operator=(DeviceClaim&&) = delete;

    // Claims the device at `location` (its real path), named `what` in messages ("COM3
    // (/dev/ttyUSB0)"). Throws CommError: Busy when another program holds it (the message names
    // that program where it can be known), NoSuchPort, PermissionDenied or Device otherwise. The
    // lock file goes into the first lock directory that takes it; where none does, the flock alone
    // holds the device.
    static DeviceClaim take(const QString& location, const QString& what, LockFile lockFile);

    // The claim's descriptor of the device, open for writing.
    int descriptor() const { return descriptor_; }

    // Lets the device go: closing the descriptor releases the flock, then the lock file goes.
    void release();

private:
    int descriptor_ = -1;
    std::unique_ptr<QLockFile> lockFile_;  // this program's, while it holds one
};

}  // namespace quenterra
