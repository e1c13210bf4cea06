#pragma once

#include <QString>

#include <vector>

#include "badge/PortMap.h"
#include "badge/PortSelection.h"

namespace quenterra {

// The port selector's tooltip: the device each listed number stands for ("COM5: /dev/ttyUSB0,
// USB2.0-Serial"), then every device that exists but could not be opened, with the reason, and the
// devices that got no number.
QString PortTooltip(const PortMap& map, const std::vector<ProbeOutcome>& outcomes);

// What the user is told beside the port selector from the start: when no port could be opened and
// one was refused for lack of permission, why, and how to get access (the group to join); empty
// otherwise.
QString PortAdvice(const std::vector<ProbeOutcome>& outcomes);

}  // namespace quenterra
