#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>

#include "badge/PortMap.h"

namespace quenterra {

// The names of the devices this machine uses as its console ("ttyS0"); empty where unknown.
QStringList SystemConsoleNames();

// The serial devices the system lists now. Needs nothing of the user interface, so it may run on a
// thread of its own.
QList<SerialDevice> SystemSerialDevices();

// Whether SystemSerialDevices() takes long enough that the program starts it ahead, while its
// window is made: where the system's device manager is asked, not where a few files are read.
bool SerialListingTakesLong();

// The device path with symbolic links resolved; empty when there is nothing at path.
QString RealDevicePath(const QString& path);

// The map of the given devices, numbered the way this system does, with the user's pins.
PortMap SystemPortMap(const QList<SerialDevice>& devices, const QMap<int, QString>& pins);

// The system's serial devices, listed whenever asked. A listing can start ahead on a thread of its
// own (the program starts one before its window exists, so that the port probe finds it done); the
// next list() takes its result, and every list() after that lists anew.
class SerialDeviceList {
public:
    using Lister = std::function<QList<SerialDevice>()>;

    // The lister is the system's; a test gives its own, to tell one listing from the next.
    explicit SerialDeviceList(Lister lister = SystemSerialDevices);
    // Waits for a listing still underway.
    ~SerialDeviceList() = default;
    SerialDeviceList(const SerialDeviceList&) = delete;
    SerialDeviceList& operator=(const SerialDeviceList&) = delete;

    // Starts a listing on a thread of its own, unless one started ahead is still to be taken.
    void startListing();

    // The devices: the result of the listing started ahead when there is one, else a new listing.
    QList<SerialDevice> list();

    // list(), numbered the way this system does, with the user's pins.
    PortMap portMap(const QMap<int, QString>& pins);

private:
    Lister lister_;
    std::future<QList<SerialDevice>> ahead_;
};

}  // namespace quenterra
