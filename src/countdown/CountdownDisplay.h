#pragma once

#include "countdown/ClockText.h"
#include "countdown/Countdown.h"
#include "platform/Messages.h"

namespace quenterra {

// Keeps the countdown label and the clock label current, driven by the refresh timer.
class CountdownDisplay {
public:
    struct Controls {
        Caption& lblDJS;
        Caption& lblNow;
        RefreshTimer& timer1;
    };

    CountdownDisplay(const Clock& clock, TargetSelectors targets, Controls controls,
                     Messages& messages, ClockText clockText = ClockText());

    // Computes the countdown and writes it to the countdown label. Out of range, it stops the
    // refresh for good, and only then shows the out-of-range message.
    void ShowCountdown();

    // One beat of the refresh timer: the countdown, then the clock. Both labels show whole seconds,
    // so a beat within the second already shown, for the same target, has nothing to change.
    void tick();

private:
    const Clock& clock_;
    TargetSelectors targets_;
    Controls controls_;
    Messages& messages_;
    ClockText clockText_;
    // What the labels show now: the second and the target they were computed for.
    std::optional<qint64> shownSecond_;
    std::optional<TargetMoment> shownTarget_;
};

}  // namespace quenterra
