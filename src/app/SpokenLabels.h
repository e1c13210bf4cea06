#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "platform/TickCounter.h"

class QLabel;

namespace quenterra {

// Labels whose text the program changes while it runs, as a screen reader hears them: the name
// says what the label is and what it shows ("Countdown: 001:00:30:15"), the description is the
// label's own. A change is announced to assistive technology at most once a second, and only
// while one listens; asking costs nothing more.
class SpokenLabels {
public:
    explicit SpokenLabels(TickCounter& ticks) : ticks_(ticks) {}

    // The label is heard as "what: its text".
    void add(QLabel* label, const QString& what);
    // Announces the labels whose text changed since they were last announced, unless nobody
    // listens or the last announcement was less than a second ago.
    void announceChanges();

private:
    struct Spoken {
        QLabel* label;
        QString announced;
    };
    TickCounter& ticks_;
    std::vector<Spoken> labels_;
    std::optional<quint32> announcedAt_;
};

}  // namespace quenterra
