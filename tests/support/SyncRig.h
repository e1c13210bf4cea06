#pragma once

// A sync wired to the given serial component, tick counter and pump, with fake controls: the clock,
// running with the tick counter, starts 200 ms before 2015-06-03 12:00, so that a sync sends about
// a tenth of a second later (however long the rig took to set up) and its bytes, 100 ms on the
// line, land just after 12:00; the target, 2015-10-04 16:05:06, lies 123 days 04:05:06 after that;
// brightness 4; the port selector says "COM3".

#include "badge/BadgeSync.h"
#include "support/FakeSerialComm.h"
#include "support/Fakes.h"

namespace quenterra::test {

struct SyncControls {
    FakeClock clock{QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 800))};
    FakeMessages messages;
    HiddenSelectors selectors;
    FakeSelector sele{{}, QStringLiteral("COM3")};
    FakeProgressBar progress;

    SyncControls()
    {
        selectors.setTarget(2015, 10, 4, 16, 5, 6);
        selectors.bright.setListPosition(3);
    }
};

template <typename Comm, typename Ticks, typename Pump>
struct SyncRig : SyncControls {
    Comm comm;
    Ticks ticks;
    Pump pump;
    BadgeSync sync{{comm, clock, messages, ticks, pump},
                   selectors.targets(),
                   {sele, selectors.bright, progress}};

    template <typename... CommArgs>
    explicit SyncRig(CommArgs&&... commArgs)
        : comm(std::forward<CommArgs>(commArgs)...), pump(makePump())
    {
        clock.runWith(ticks);
    }

private:
    Pump makePump()
    {
        if constexpr (std::is_constructible_v<Pump, Ticks&>) {
            return Pump(ticks);
        } else {
            return Pump();
        }
    }
};

}  // namespace quenterra::test
