#pragma once

// Line settings as termios, for the serial component and the stand-in badge (tools/sim). POSIX
// only.

#include <termios.h>

#include "badge/LineSettings.h"

namespace quenterra {

// Makes line raw (no byte changed on its way, no echo, no flow control, the receiver on, modem
// status lines ignored) with these settings. False, with line unchanged, when termios offers no
// such line: a baud rate it has no speed for, or mark or space parity where it has no CMSPAR.
bool SetRawLine(termios& line, const LineSettings& settings);

}  // namespace quenterra
