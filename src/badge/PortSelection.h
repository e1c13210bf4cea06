#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "badge/PortMap.h"
#include "platform/Controls.h"
#include "platform/Messages.h"
#include "platform/SerialComm.h"

namespace quenterra {

// The port names from COM1 up to the given number: "COM1", "COM2", ...
QStringList PortItems(int last);

// What the probe learnt of one port number.
struct ProbeOutcome {
    int number = 0;
    bool opened = false;
    QString failure;          // why it could not be opened, when it could not
    bool mayNotOpen = false;  // refused for lack of permission
};

// Tries COM1 to COM32 one after the other, lists in the port selector those that open, and chooses
// the default: the highest port found when it is above 2, else the first. A port that fails is left
// out without a word; its outcome carries the reason.
std::vector<ProbeOutcome> ProbePorts(SerialComm& comm, Selector& comSele);

// Turns the port selector's text into the port number and sets the badge's line settings. A text
// that is not exactly one of "COM1" to "COM32" gets the Message "Set Port Number Error!" and false.
bool ReadComSet(const Selector& comSele, SerialComm& comm, Messages& messages);

}  // namespace quenterra
