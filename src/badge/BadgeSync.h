#pragma once

#include "badge/BadgeProtocol.h"
#include "countdown/Countdown.h"
#include "platform/Controls.h"
#include "platform/EventPump.h"
#include "platform/Messages.h"
#include "platform/SerialComm.h"
#include "platform/TickCounter.h"

namespace quenterra {

// The moment to send: the milliseconds (0 to 999) to wait from nowMs, the clock in milliseconds
// since the Unix epoch, until sending makes the last byte, lineMs later, reach the badge
// kLandingMarginMs after a whole second of the clock.
qint32 MsUntilSendMoment(qint64 nowMs, qint32 lineMs);

// The second of the clock (seconds since the Unix epoch) in which the last byte of bytes sent at
// sendMs reaches the badge: the second the window's countdown counts to at that moment.
qint64 LandingSecond(qint64 sendMs, qint32 lineMs);

// How far past the whole second the last byte is meant to land: enough that a wait a millisecond
// short still lands in that second, not the one before.
inline constexpr qint32 kLandingMarginMs = 2;

// How late past its moment a sync may still send; later (the program was held: a Message read, a
// stopped process), it waits for the next moment.
inline constexpr qint32 kSendLateMs = 5;

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

    // How long the drain wait may last before the sync gives up: twenty times what the bytes of a
    // sync need on the badge's line.
    static constexpr qint32 kDrainLimitMs = 20 * kSyncLineMs;
    static constexpr qint32 kPauseMs = 100;
    // The wait for the moment to send ends on the event loop's timer this long before its end, and
    // polls the rest.
    static constexpr qint32 kPollMs = 3;

    BadgeSync(Services services, TargetSelectors targets, Controls controls);

    // The press of "Sync". A press while the port is open (a sync is running) is refused with a
    // Message; otherwise the port is resolved, the sync runs, and the port is closed whatever
    // happened.
    void cmdSendClick();

    // Opens the port and asserts DTR; then checks the countdown, waits for the moment that makes
    // the frame land just after a whole second (up to a second, and again while a hold made it
    // miss the moment), sends the wake string and the sync frame counted to that second, waits
    // until the bytes are on the line, and pauses twice with the progress bar stepping. A count the
    // frame cannot carry (1000 days or more, after a step of the clock during the wait) sends
    // nothing, as the check before the wait would.
    void SendBadge();

    // Waits until the tick counter has advanced by more than ms, handling window events meanwhile.
    void WaitMilliseconds(qint32 ms);

    // True from the press of "Sync" until its handler has returned, pauses included.
    bool inProgress() const { return depth_ > 0; }

    // Ends the running sync at its next step, for a program that must close at once: a sync still
    // waiting for its moment sends nothing, one that has sent stops waiting, and the port is closed
    // as after any sync. Does nothing when no sync runs.
    void abandon();

private:
    enum class Drain { Done, TimedOut, Failed };
    Drain sendAndDrain(const QByteArray& frame);
    qint64 waitForSendMoment();
    void waitMs(qint32 ms);

    Services services_;
    TargetSelectors targets_;
    Controls controls_;
    int depth_ = 0;
    bool abandoned_ = false;
};

}  // namespace quenterra
