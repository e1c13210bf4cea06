#include "badge/PortSelection.h"

#include "badge/BadgeProtocol.h"

namespace quenterra {

QStringList PortItems(int last)
{
    QStringList items;
    for (int n = kFirstPortNumber; n <= last; ++n) {
        items << PortName(n);
    }
    return items;
}

std::vector<ProbeOutcome> ProbePorts(SerialComm& comm, Selector& comSele)
{
    std::vector<ProbeOutcome> outcomes;
    comSele.clear();
    int highestFound = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        ProbeOutcome outcome{n, false, {}};
        // A port left open here would make every later number fail, and every "Sync" look busy.
        const auto closeQuietly = [&comm] {
            try {
                if (comm.portOpen()) {
                    comm.setPortOpen(false);
                }
            } catch (const CommError&) {
            }
        };
        const auto failed = [&outcome, &closeQuietly](const CommError& error) {
            outcome.failure = error.message();
            outcome.mayNotOpen = error.kind() == CommError::Kind::PermissionDenied;
            closeQuietly();
        };
        try {
            comm.setCommPort(n);
            if (const std::optional<CommError> failure = comm.tryOpen()) {
                failed(*failure);
            } else {
                if (comm.portOpen()) {
                    comSele.addItem(PortName(n));
                    highestFound = n;
                    outcome.opened = true;
                }
                comm.setPortOpen(false);
            }
        } catch (const CommError& error) {
            failed(error);
        }
        outcomes.push_back(outcome);
    }
    if (comSele.count() > 0) {
        comSele.setText(comSele.item(highestFound > 2 ? comSele.count() - 1 : 0));
    }
    return outcomes;
}

bool ReadComSet(const Selector& comSele, SerialComm& comm, Messages& messages)
{
    const QString text = comSele.text();
    int number = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber && number == 0; ++n) {
        if (text == PortName(n)) {
            number = n;
        }
    }
    if (number == 0) {
        messages.show(kSetPortNumberErrorText, kErrorTitle);
        return false;
    }
    try {
        comm.setCommPort(number);
        comm.setSettings(LineSettingsText(kBadgeLine));
    } catch (const CommError&) {
        messages.show(kPortInUseText, kWarningTitle);
        return false;
    }
    return true;
}

}  // namespace quenterra
