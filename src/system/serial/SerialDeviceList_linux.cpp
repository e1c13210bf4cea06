#include "system/serial/SerialDeviceList.h"

#include <QByteArray>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace quenterra {
namespace {

// The kernel's own account of its ttys, read from /sys: a few small files per serial device, and no
// device opened. (udev's listing, which Qt's serial port info asks for, reads every tty the kernel
// knows, virtual consoles and pseudo-terminals too, and takes tens of milliseconds.)

QByteArray ReadSmallFile(int folder, const QByteArray& path)
{
    const int fd = ::openat(folder, path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray text(4096, Qt::Uninitialized);
    const ssize_t length = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.truncate(length > 0 ? length : 0);
    return text;
}

QByteArray LinkTarget(int folder, const QByteArray& path)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folder, path.constData(), target.data(), target.size());
    target.truncate(length > 0 && length < target.size() ? length : 0);
    return target;
}

// The value of the line `key=value`.
QByteArray Property(const QByteArray& text, const QByteArray& key)
{
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) {
            end = text.size();
        }
        const QByteArray line = text.mid(start, end - start);
        if (line.startsWith(key) && line.size() > key.size() && line[key.size()] == '=') {
            return line.mid(key.size() + 1);
        }
        start = end + 1;
    }
    return {};
}

// Bluetooth's rfcomm0 to rfcomm255 and the USB gadget's ttyGSn are serial ports without a device
// of their own in /sys.
bool SerialWithoutDevice(const QByteArray& name)
{
    if (name.startsWith("ttyGS")) {
        return true;
    }
    bool number = false;
    const int channel = name.startsWith("rfcomm") ? name.mid(6).toInt(&number) : -1;
    return number && channel >= 0 && channel <= 255;
}

}  // namespace

QStringList SystemConsoleNames()
{
    return QString::fromLocal8Bit(ReadSmallFile(AT_FDCWD, "/sys/class/tty/console/active"))
        .simplified()
        .split(u' ', Qt::SkipEmptyParts);
}

QList<SerialDevice> SystemSerialDevices()
{
    DIR* ttys = ::opendir("/sys/class/tty");
    if (ttys == nullptr) {
        return {};
    }
    const int folder = ::dirfd(ttys);
    std::vector<std::pair<QByteArray, SerialDevice>> found;  // with the device's place in /sys
    while (const dirent* entry = ::readdir(ttys)) {
        const QByteArray name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // A tty with hardware behind it has a device; virtual consoles and pseudo-terminals do
        // not.
        const bool device = !LinkTarget(folder, name + "/device").isEmpty();
        if (!device && !SerialWithoutDevice(name)) {
            continue;
        }
        const QByteArray driver =
            device ? LinkTarget(folder, name + "/device/driver") : QByteArray();
        // The 8250 driver makes ttyS0 to ttyS3 whether or not a UART answers there; type 0 is
        // the port where none does.
        if (driver.mid(driver.lastIndexOf('/') + 1) == "serial8250" &&
            ReadSmallFile(folder, name + "/type") == "0\n") {
            continue;
        }
        const QByteArray uevent = ReadSmallFile(folder, name + "/uevent");
        QByteArray node = Property(uevent, "DEVNAME");
        if (node.isEmpty()) {
            node = name;
        }
        // The model, as its USB device tells it ("USB2.0-Serial"): the nearest product above the
        // tty in /sys, where Qt's serial port info finds it too.
        const QByteArray place = LinkTarget(folder, name);  // "../../devices/pci0000:00/..."
        QByteArray product;
        for (QByteArray above = place; product.isEmpty() && above.contains("/devices/");
             above.truncate(above.lastIndexOf('/'))) {
            product = ReadSmallFile(folder, above + "/product");
        }
        found.push_back({place,
                         {QStringLiteral("/dev/") + QString::fromLocal8Bit(node),
                          QString::fromUtf8(product).simplified()}});
    }
    ::closedir(ttys);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<SerialDevice> devices;
    for (auto& [place, device] : found) {
        devices.append(std::move(device));
    }
    return devices;
}

PortMap SystemPortMap(const QList<SerialDevice>& devices, const QMap<int, QString>& pins)
{
    return AssignPortNumbers(devices, pins, SystemConsoleNames(), RealDevicePath);
}

}  // namespace quenterra
