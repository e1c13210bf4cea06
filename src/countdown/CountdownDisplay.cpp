#include "countdown/CountdownDisplay.h"

namespace quenterra {

CountdownDisplay::CountdownDisplay(const Clock& clock, TargetSelectors targets, Controls controls,
                                   Messages& messages, ClockText clockText)
    : clock_(clock),
      targets_(targets),
      controls_(controls),
      messages_(messages),
      clockText_(std::move(clockText))
{
}

void CountdownDisplay::ShowCountdown()
{
    const auto remaining = GetRemainingSeconds(clock_, targets_);
    const QString text = remaining ? FormatCountdown(SplitCountdown(*remaining)) : kNoCountdownText;
    controls_.timer1.setEnabled(true);
    if (!CountdownInRange(remaining)) {
        controls_.timer1.setEnabled(false);
        messages_.show(kOutOfRangeText, kOutOfRangeTitle);
    }
    controls_.lblDJS.setCaption(text);
}

void CountdownDisplay::tick()
{
    const qint64 second = clock_.secsSinceEpoch();
    const auto target = ReadTargetMoment(targets_);
    if (second == shownSecond_ && target == shownTarget_) {
        return;
    }
    ShowCountdown();
    // A fresh reading: after an out-of-range message, the moment it was dismissed.
    controls_.lblNow.setCaption(clockText_.format(clock_.now()));
    // The earliest reading of this beat: should a later one have fallen into the next second, the
    // next beat shows that second.
    shownSecond_ = second;
    shownTarget_ = target;
}

}  // namespace quenterra
