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

}  // namespace quenterra
