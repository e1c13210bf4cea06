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

    CountdownDisplay(const Clock& clock, TargetSelectors targets, Controls controls, Messages& messages,
                     ClockText clockText = ClockText());

    // Computes the countdown and writes it to the countdown label. Out of range, it stops the refresh
    // for good, and only then shows the out-of-range message.
    void ShowCountdown();

    // One beat of the refresh timer: the countdown, then the clock.
    void Tick();

private:
    const Clock& clock_;
    TargetSelectors targets_;
    Controls controls_;
    Messages& messages_;
    ClockText clockText_;
};

}  // namespace quenterra
