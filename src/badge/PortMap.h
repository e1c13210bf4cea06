#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quenterra {

// Port numbers run from COM1 to COM32.
inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 32;

// "COM" followed by the number: "COM1" ... "COM32".
QString PortName(int number);

// A serial device as the system names it.
struct SerialDevice {
    QString path;         // "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_...", "COM3" on Windows
    QString description;  // "USB2.0-Serial"; may be empty
    friend bool operator==(const SerialDevice&, const SerialDevice&) = default;
};

struct NumberedDevice {
    int number;
    SerialDevice device;
    friend bool operator==(const NumberedDevice&, const NumberedDevice&) = default;
};

// A device the system lists that no port number stands for, and why.
struct UnnumberedDevice {
    SerialDevice device;
    QString reason;  // "it is the system console"
    friend bool operator==(const UnnumberedDevice&, const UnnumberedDevice&) = default;
};

// Which device each of COM1 to COM32 stands for.
class PortMap {
public:
    // The device a port number stands for; none for an unused or out-of-range number.
    std::optional<SerialDevice> device(int number) const;

    // Every number that stands for a device, lowest first.
    QList<NumberedDevice> numbered() const;

    // Devices the system lists that have no number, in the order they were found.
    const QList<UnnumberedDevice>& unnumbered() const { return unnumbered_; }

    // Lets a number stand for a device. Numbers outside 1 to 32 are ignored.
    void setDevice(int number, const SerialDevice& device);
    void addUnnumbered(const UnnumberedDevice& device);

private:
    QMap<int, SerialDevice> numbered_;
    QList<UnnumberedDevice> unnumbered_;
};

// The real path of a device, symbolic links resolved, so that two names of one device compare
// equal; empty when it cannot be resolved (the device is not there).
using RealPath = std::function<QString(const QString& path)>;

// Numbers the devices the system lists, the way this program does on Linux and macOS:
// - a pin (number -> device path chosen by the user) makes that number stand for that path,
//   listed or not; a listed device that a pin names (symbolic links resolved by realPath) is not
//   numbered again, and lends its description to the pin;
// - a built-in UART ttySn is COM(n+1): ttyS0 is COM1, ttyS1 is COM2, as on the PCs where COM1 and
//   COM2 are the on-board ports. One whose number a pin gives to another device, or above COM32,
//   gets no number;
// - all other devices (USB and ACM adapters, ...) get the free numbers from COM3 upward in name
//   order (digit runs compared as numbers, so ttyUSB2 comes before ttyUSB10): the default choice,
//   the highest port above COM2, is then an adapter;
// - a device whose name is one of consoleNames gets no number: opening it would disturb the
//   console. Neither do devices for which no number is left.
PortMap AssignPortNumbers(const QList<SerialDevice>& systemDevices, const QMap<int, QString>& pins,
                          const QStringList& consoleNames, const RealPath& realPath);

// Numbers the devices the way this program does on Windows: COMn stands for the device "COMn",
// described as the system lists it; pins take precedence. Listed ports above COM32, and ports
// whose number a pin gives to another device, are unnumbered.
PortMap WindowsPortNumbers(const QList<SerialDevice>& systemDevices,
                           const QMap<int, QString>& pins);

}  // namespace quenterra
