#include "badge/PortMap.h"

#include <QCollator>
#include <QDir>
#include <QSet>

#include <algorithm>

namespace quenterra {

namespace {

// Adapters start above the two ports a PC has built in.
constexpr int kFirstAdapterNumber = 3;

bool IsPortNumber(int number)
{
    return number >= kFirstPortNumber && number <= kLastPortNumber;
}

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The number after `prefix` when `name` is the prefix followed by digits only; -1 otherwise.
int NumberAfter(const QString& name, QStringView prefix)
{
    if (!name.startsWith(prefix) || name.size() == prefix.size()) {
        return -1;
    }
    const QStringView digits = QStringView(name).mid(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), IsAsciiDigit) || digits.size() > 6) {
        return -1;
    }
    return digits.toInt();
}

// The path by which two names of one device compare equal.
QString CanonicalPath(const QString& path, const RealPath& realPath)
{
    const QString real = realPath(path);
    return real.isEmpty() ? QDir::cleanPath(path) : real;
}

QString DeviceName(const SerialDevice& device)
{
    return device.path.mid(device.path.lastIndexOf(u'/') + 1);
}

struct Candidate {
    SerialDevice device;
    QString name;
    int uart;  // n for ttySn, -1 for any other device
};

// Names in the order people count: digit runs compare as numbers ("ttyUSB2" < "ttyUSB10").
bool NumberedBefore(const Candidate& a, const Candidate& b)
{
    static const QCollator kNatural = [] {
        QCollator collator{QLocale(QLocale::English)};
        collator.setNumericMode(true);
        return collator;
    }();
    if (const int order = kNatural.compare(a.name, b.name); order != 0) {
        return order < 0;
    }
    return a.device.path < b.device.path;
}

// "COM7" for "COM7", "\\.\COM7" or "com7"; empty for anything else.
QString WindowsPortName(const QString& path)
{
    QString name = path.trimmed().toUpper();
    if (name.startsWith(u"\\\\.\\")) {
        name = name.mid(4);
    }
    return NumberAfter(name, u"COM") > 0 ? name : QString();
}

}  // namespace

QString PortName(int number)
{
    return QStringLiteral("COM") + QString::number(number);
}

std::optional<SerialDevice> PortMap::device(int number) const
{
    const auto found = numbered_.constFind(number);
    if (found == numbered_.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

QList<NumberedDevice> PortMap::numbered() const
{
    QList<NumberedDevice> result;
    for (auto it = numbered_.cbegin(); it != numbered_.cend(); ++it) {
        result.append({it.key(), it.value()});
    }
    return result;
}

void PortMap::setDevice(int number, const SerialDevice& device)
{
    if (IsPortNumber(number)) {
        numbered_.insert(number, device);
    }
}

void PortMap::addUnnumbered(const UnnumberedDevice& device)
{
    unnumbered_.append(device);
}

PortMap AssignPortNumbers(const QList<SerialDevice>& systemDevices, const QMap<int, QString>& pins,
                          const QStringList& consoleNames, const RealPath& realPath)
{
    PortMap map;

    // Pins first: the user's word beats every rule below, the console rule included.
    QSet<QString> taken;  // canonical paths of the devices that already have a number
    for (auto pin = pins.cbegin(); pin != pins.cend(); ++pin) {
        const QString path = pin.value().trimmed();
        if (!IsPortNumber(pin.key()) || path.isEmpty()) {
            continue;
        }
        const QString canonical = CanonicalPath(path, realPath);
        SerialDevice device{path, QString()};
        for (const SerialDevice& candidate : systemDevices) {
            if (CanonicalPath(candidate.path, realPath) == canonical) {
                device.description = candidate.description;
                break;
            }
        }
        map.setDevice(pin.key(), device);
        taken.insert(canonical);
    }

    QList<Candidate> candidates;
    for (const SerialDevice& device : systemDevices) {
        const QString canonical = CanonicalPath(device.path, realPath);
        if (taken.contains(canonical)) {
            continue;  // pinned, or listed twice
        }
        taken.insert(canonical);
        const QString name = DeviceName(device);
        if (consoleNames.contains(name)) {
            map.addUnnumbered({device, QStringLiteral("it is the system console")});
            continue;
        }
        candidates.append({device, name, NumberAfter(name, u"ttyS")});
    }
    // Built-in UARTs keep the numbers of their names, so that the others fill in around them.
    QList<Candidate> adapters;
    for (const Candidate& candidate : candidates) {
        if (candidate.uart < 0) {
            adapters.append(candidate);
            continue;
        }
        const int uartNumber = candidate.uart + 1;
        if (uartNumber > kLastPortNumber) {
            map.addUnnumbered(
                {candidate.device, QStringLiteral("its number is above %1").arg(kLastPortNumber)});
        } else if (map.device(uartNumber)) {
            const QString reason = pins.contains(uartNumber)
                                       ? QStringLiteral("%1 is pinned to another device")
                                       : QStringLiteral("%1 stands for another device");
            map.addUnnumbered({candidate.device, reason.arg(PortName(uartNumber))});
        } else {
            map.setDevice(uartNumber, candidate.device);
        }
    }
    std::stable_sort(adapters.begin(), adapters.end(), NumberedBefore);

    int number = kFirstAdapterNumber;
    for (const Candidate& candidate : adapters) {
        while (number <= kLastPortNumber && map.device(number)) {
            ++number;
        }
        if (number > kLastPortNumber) {
            map.addUnnumbered({candidate.device, QStringLiteral("no port number is left for it")});
            continue;
        }
        map.setDevice(number, candidate.device);
    }
    return map;
}

PortMap WindowsPortNumbers(const QList<SerialDevice>& systemDevices, const QMap<int, QString>& pins)
{
    QMap<QString, QString> descriptions;  // "COM3" -> description
    for (const SerialDevice& device : systemDevices) {
        const QString name = WindowsPortName(device.path);
        if (!name.isEmpty()) {
            descriptions.insert(name, device.description);
        }
    }

    PortMap map;
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        const QString pinned = pins.value(number).trimmed();
        const QString path = pinned.isEmpty() ? PortName(number) : pinned;
        const QString name = WindowsPortName(path);
        map.setDevice(number, {path, name.isEmpty() ? QString() : descriptions.value(name)});
    }

    for (const SerialDevice& device : systemDevices) {
        const QString name = WindowsPortName(device.path);
        const int number = NumberAfter(name, u"COM");
        if (number > kLastPortNumber) {
            map.addUnnumbered(
                {device, QStringLiteral("its number is above %1").arg(kLastPortNumber)});
        } else if (number > 0 && WindowsPortName(map.device(number)->path) != name) {
            map.addUnnumbered(
                {device, QStringLiteral("%1 is pinned to another device").arg(PortName(number))});
        }
    }
    return map;
}

}  // namespace quenterra
