#include "badge/PortTooltip.h"

#include <QStringList>

namespace quenterra {
namespace {

QString describe(const SerialDevice& device)
{
    return device.description.isEmpty() ? device.path
                                        : device.path + QStringLiteral(", ") + device.description;
}

}  // namespace

QString PortTooltip(const PortMap& map, const std::vector<ProbeOutcome>& outcomes)
{
    QStringList listed;
    QStringList failed;
    for (const ProbeOutcome& outcome : outcomes) {
        const auto device = map.device(outcome.number);
        if (!device) {
            continue;
        }
        if (outcome.opened) {
            listed << PortName(outcome.number) + QStringLiteral(": ") + describe(*device);
        } else {
            failed << PortName(outcome.number) + QStringLiteral(": ") + describe(*device) +
                          QStringLiteral(" could not be opened: ") + outcome.failure;
        }
    }
    for (const UnnumberedDevice& other : map.unnumbered()) {
        failed << describe(other.device) + QStringLiteral(" has no port number: ") + other.reason;
    }
    if (listed.isEmpty() && failed.isEmpty()) {
        return QStringLiteral(
            "No serial port found. Plug in the badge and start the program again, "
            "or pin a device in the section [Ports] of Vorlenta.ini.");
    }
    if (listed.isEmpty()) {
        listed << QStringLiteral("No serial port could be opened.");
    }
    return (listed + failed).join(u'\n');
}

QString PortAdvice(const std::vector<ProbeOutcome>& outcomes)
{
    QString advice;
    for (const ProbeOutcome& outcome : outcomes) {
        if (outcome.opened) {
            return {};
        }
        if (outcome.mayNotOpen && advice.isEmpty()) {
            advice = outcome.failure;  // "You may not open COM3 (/dev/ttyUSB0).\nThe device ..."
        }
    }
    return advice;
}

}  // namespace quenterra
