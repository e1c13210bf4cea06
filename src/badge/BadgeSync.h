#pragma once

#include "countdown/Countdown.h"
#include "platform/Controls.h"
#include "platform/EventPump.h"
#include "platform/Messages.h"
#include "platform/SerialComm.h"
#include "platform/TickCounter.h"

namespace quenterra {

// The sync: "Sync" sends the current countdown and brightness to the badge.
class BadgeSync {
public:
    struct Controls {
        const Selector& comSele;
        const Selector& comBright;
        ProgressBar& progressBar1;
    };
    struct Services {
        SerialComm& comm;
        const Clock& clock;
        Messages& messages;
        TickCounter& ticks;
        EventPump& pump;
    };

    // How long the drain wait may last before the sync gives up: twenty times what 12 bytes need.
    static constexpr qint32 kDrainLimitMs = 2000;
    static constexpr qint32 kPauseMs = 100;

    BadgeSync(Services services, TargetSelectors targets, Controls controls);

    // The press of "Sync". A press while the port is open (a sync is running) is refused with a
    // Message; otherwise the port is resolved, the sync runs, and the port is closed whatever happened.
    void CmdSendClick();

    // Opens the port and asserts DTR; then checks the countdown, sends the wake string and the sync
    // frame, waits until the bytes are on the line, and pauses twice with the progress bar stepping.
    void SendBadge();

    // Waits until the tick counter has advanced by more than ms, handling window events meanwhile.
    void WaitMilliseconds(qint32 ms);

    // True from the press of "Sync" until its handler has returned, pauses included.
    bool inProgress() const { return depth_ > 0; }

private:
    enum class Drain { Done, TimedOut };
    Drain drainOutput();

    Services services_;
    TargetSelectors targets_;
    Controls controls_;
    int depth_ = 0;
};

inline const QString kSendingText = QStringLiteral("Sending!");
inline const QString kSendingTitle = QStringLiteral("Waits");
inline const QString kOpenFailText = QStringLiteral("Open port fail!");
inline const QString kSendTimeoutText = QStringLiteral("Send timeout!");

}  // namespace quenterra
