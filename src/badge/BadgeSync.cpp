#include "badge/BadgeSync.h"

#include "badge/PortSelection.h"
#include "badge/SyncFrame.h"

namespace quenterra {
namespace {

// Runs one step of the exchange; a step that fails is skipped and the exchange goes on.
template <typename Step>
void skipOnFailure(Step&& step)
{
    try {
        step();
    } catch (const CommError&) {
    }
}

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

}  // namespace

BadgeSync::BadgeSync(Services services, TargetSelectors targets, Controls controls)
    : services_(services), targets_(targets), controls_(controls)
{
}

void BadgeSync::CmdSendClick()
{
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

    // The exchange: a step that fails is skipped without a word.
    std::optional<qint32> remaining = GetRemainingSeconds(services_.clock, targets_);
    if (!CountdownInRange(remaining)) {
        messages.show(kOutOfRangeText, kOutOfRangeTitle);
        return;
    }
    ProgressBar& progress = controls_.progressBar1;
    progress.setMax(3);
    progress.setMin(0);
    progress.setValue(1);
    skipOnFailure([&] { comm.output(kWakeString); });
    // Read afresh for the frame; not range-checked again, so a target that has just passed sends
    // zeros rather than nothing.
    if (const auto fresh = GetRemainingSeconds(services_.clock, targets_)) {
        remaining = fresh;
    }
    const SyncFrame frame = BuildSyncFrame(*remaining, controls_.comBright.text());
    skipOnFailure([&] { comm.output(FrameBytes(frame)); });
    if (drainOutput() == Drain::TimedOut) {
        progress.setValue(0);
        messages.show(kSendTimeoutText, kErrorTitle);
        return;
    }
    progress.setValue(2);
    WaitMilliseconds(kPauseMs);
    progress.setValue(3);
    WaitMilliseconds(kPauseMs);
    progress.setValue(0);
}

BadgeSync::Drain BadgeSync::drainOutput()
{
    const quint32 start = services_.ticks.timeGetTime();
    try {
        for (;;) {
            services_.pump.pump();
            if (services_.comm.outBufferCount() == 0) {
                return Drain::Done;
            }
            if (static_cast<quint32>(services_.ticks.timeGetTime() - start) > kDrainLimitMs) {
                return Drain::TimedOut;
            }
        }
    } catch (const CommError&) {
        // The count cannot be read (the device has gone): the wait ends, and the port is closed next.
    }
    return Drain::Done;
}

void BadgeSync::WaitMilliseconds(qint32 ms)
{
    const quint32 start = services_.ticks.timeGetTime();
    qint64 elapsed = 0;
    do {
        elapsed = static_cast<quint32>(services_.ticks.timeGetTime() - start);
        services_.pump.pump();
    } while (elapsed <= ms);
}

}  // namespace quenterra
