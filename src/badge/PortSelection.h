#pragma once

#include <QString>

#include <vector>

#include "badge/PortMap.h"
#include "platform/Controls.h"
#include "platform/Messages.h"
#include "platform/SerialComm.h"

namespace quenterra {

inline const QString kLineSettings = QStringLiteral("1200,n,8,1");

// What the probe learnt of one port number.
struct ProbeOutcome {
    int number = 0;
    bool opened = false;
    QString failure;  // why it could not be opened, when it could not
};

// Tries COM1 to COM32 one after the other, lists in the port selector those that open, and chooses
// the default: the highest port found when it is above 2, else the first. A port that fails is left
// out without a word; its outcome carries the reason.
std::vector<ProbeOutcome> ProbePorts(SerialComm& comm, Selector& comSele);

// Turns the port selector's text into the port number and sets the line settings. A text that is
// not exactly one of "COM1" to "COM32" gets the Message "Set Port Number Error!" and false.
bool ReadComSet(const Selector& comSele, SerialComm& comm, Messages& messages);

inline const QString kPortInUseText = QStringLiteral("Port in use or not port");
inline const QString kWarningTitle = QStringLiteral("Warning");
inline const QString kErrorTitle = QStringLiteral("Error");

}  // namespace quenterra
