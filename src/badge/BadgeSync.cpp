#include "badge/BadgeSync.h"

#include "badge/PortSelection.h"
#include "badge/SyncFrame.h"

namespace quenterra {
namespace {

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

// a / b rounded down, for b > 0.
qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

}  // namespace

qint32 MsUntilSendMoment(qint64 nowMs, qint32 lineMs)
{
    const qint64 ms = kLandingMarginMs - (nowMs + lineMs);
    return static_cast<qint32>(ms - floorDiv(ms, 1000) * 1000);
}

qint64 LandingSecond(qint64 sendMs, qint32 lineMs)
{
    return floorDiv(sendMs + lineMs, 1000);
}

BadgeSync::BadgeSync(Services services, TargetSelectors targets, Controls controls)
    : services_(services), targets_(targets), controls_(controls)
{
}

void BadgeSync::abandon()
{
    abandoned_ = inProgress();
}

void BadgeSync::cmdSendClick()
{
    if (!inProgress()) {
        abandoned_ = false;
    }
    const DepthGuard guard(depth_);
    SerialComm& comm = services_.comm;
    try {
        if (comm.portOpen()) {
            services_.messages.show(kSendingText, kSendingTitle);
            return;
        }
    } catch (const CommError&) {
        services_.messages.show(kPortInUseText, kWarningTitle);
        return;
    }
    if (!ReadComSet(controls_.comSele, comm, services_.messages)) {
        return;
    }
    SendBadge();
    try {
        comm.setPortOpen(false);
    } catch (const CommError&) {
        services_.messages.show(kPortInUseText, kWarningTitle);
    }
}

void BadgeSync::SendBadge()
{
    SerialComm& comm = services_.comm;
    Messages& messages = services_.messages;

    // Opening: any failure ends the sync with one Message.
    try {
        comm.setPortOpen(true);
        if (!comm.portOpen()) {
            comm.setDTREnable(false);
            messages.show(kOpenFailText, kErrorTitle);
            return;
        }
        comm.setDTREnable(true);
    } catch (const CommError&) {
        messages.show(kPortInUseText, kWarningTitle);
        return;
    }

    // The exchange: the bytes go out whole, or the user is told.
    std::optional<qint32> remaining = GetRemainingSeconds(services_.clock, targets_);
    if (!CountdownInRange(remaining)) {
        messages.show(kOutOfRangeText, kOutOfRangeTitle);
        return;
    }
    ProgressBar& progress = controls_.progressBar1;
    progress.setMax(3);
    progress.setMin(0);
    progress.setValue(1);
    // The badge counts down on its own from the moment it has the whole frame: sent so that the
    // frame lands just after a whole second, and counted to that second, it reaches zero at the
    // target, changing its digits with the window's.
    const qint64 sendMs = waitForSendMoment();
    if (abandoned_) {
        progress.setValue(0);
        return;  // the program is closing: nothing has been sent
    }
    // Where the clock was stepped during the wait, the frame still carries the countdown of the
    // second in which it lands.
    const qint64 landing = LandingSecond(sendMs, kSyncLineMs);
    if (const auto target = ReadTargetMoment(targets_)) {
        if (const auto fresh = RemainingSeconds(landing, *target)) {
            remaining = fresh;
        }
    }
    // A target that has just passed sends zeros rather than nothing; a count the badge cannot show
    // (the clock stepped back during the wait) sends nothing at all.
    if (*remaining >= kCountdownLimit) {
        progress.setValue(0);
        messages.show(kOutOfRangeText, kOutOfRangeTitle);
        return;
    }
    const SyncFrame frame = BuildSyncFrame(*remaining, controls_.comBright.text());
    const Drain sent = sendAndDrain(FrameBytes(frame));
    if (sent != Drain::Done) {
        progress.setValue(0);
        messages.show(sent == Drain::TimedOut ? kSendTimeoutText : kSendFailedText, kErrorTitle);
        return;
    }
    progress.setValue(2);
    WaitMilliseconds(kPauseMs);
    progress.setValue(3);
    WaitMilliseconds(kPauseMs);
    progress.setValue(0);
}

// A wake string or frame not handed over whole, or a device gone before they left, fails: the
// badge may not have them.
BadgeSync::Drain BadgeSync::sendAndDrain(const QByteArray& frame)
{
    const quint32 start = services_.ticks.timeGetTime();
    try {
        services_.comm.output(kWakeString);
        services_.comm.output(frame);
        for (;;) {
            services_.pump.pump();
            if (abandoned_ || services_.comm.outBufferCount() == 0) {
                return Drain::Done;
            }
            if (static_cast<quint32>(services_.ticks.timeGetTime() - start) > kDrainLimitMs) {
                return Drain::TimedOut;
            }
        }
    } catch (const CommError&) {
        return Drain::Failed;
    }
}

// Waits for the moment to send and gives the clock's reading at it. The clock is read again after
// each wait: a wait held past its moment (by a Message, or the process stopped) waits for the next,
// a few times at most (a clock that stands still never reaches one).
qint64 BadgeSync::waitForSendMoment()
{
    for (int waits = 0;; ++waits) {
        const qint64 nowMs = services_.clock.msecsSinceEpoch();
        const qint32 wait = MsUntilSendMoment(nowMs, kSyncLineMs);
        if (wait == 0 || 1000 - wait <= kSendLateMs || abandoned_ || waits == 4) {
            return nowMs;
        }
        waitMs(wait);
    }
}

// Waits by the tick counter, so that a step of the clock cannot stretch it, handling window events
// meanwhile: on the event loop until the last few milliseconds, which are polled.
void BadgeSync::waitMs(qint32 ms)
{
    const quint32 start = services_.ticks.timeGetTime();
    for (;;) {
        const qint64 left =
            ms - qint64(static_cast<quint32>(services_.ticks.timeGetTime() - start));
        if (left <= 0 || abandoned_) {
            return;
        }
        if (left > kPollMs) {
            services_.pump.pumpFor(static_cast<qint32>(left) - kPollMs);
        } else {
            services_.pump.pump();
        }
    }
}

void BadgeSync::WaitMilliseconds(qint32 ms)
{
    const quint32 start = services_.ticks.timeGetTime();
    qint64 elapsed = 0;
    do {
        elapsed = static_cast<quint32>(services_.ticks.timeGetTime() - start);
        services_.pump.pump();
    } while (elapsed <= ms && !abandoned_);
}

}  // namespace quenterra
