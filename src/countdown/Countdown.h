#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

#include "platform/Clock.h"
#include "platform/Controls.h"

namespace quenterra {

// The six hidden selectors that hold the target moment.
struct TargetSelectors {
    const Selector& year;
    const Selector& month;
    const Selector& day;
    const Selector& hour;
    const Selector& minute;
    const Selector& second;
};

// A local calendar date and time of day in whole seconds, with no time zone attached.
struct TargetMoment {
    QDate date;
    QTime time;
    friend bool operator==(const TargetMoment&, const TargetMoment&) = default;
};

// The four parts of a remaining-seconds value, each truncated toward zero.
struct CountdownFields {
    qint32 Days = 0;
    qint32 Hours = 0;
    qint32 Minutes = 0;
    qint32 Seconds = 0;
    friend bool operator==(const CountdownFields&, const CountdownFields&) = default;
};

inline constexpr qint32 kSecondsPerDay = 86400;
// 1000 days: the first value the display and the badge cannot carry.
inline constexpr qint32 kCountdownLimit = 1000 * kSecondsPerDay;

// Reads a selector's text as a whole number: leading blanks skipped, an optional sign, decimal
// digits. nullopt when the text holds no number (the empty text of a selector with no item chosen).
std::optional<int> ReadWholeNumber(const QString& text);

// The calendar date of year, month and day; surplus days and months carry forward (31 April is 1
// May).
std::optional<QDate> DateFromParts(int year, int month, int day);

// The target moment that the selectors hold: the date from the texts of year, month and day, the
// time of day from the list positions of hour, minute and second. nullopt when a selector has no
// item chosen.
std::optional<TargetMoment> ReadTargetMoment(const TargetSelectors& targets);

// Whole seconds from now (seconds since the Unix epoch) until the target moment, as the local clock
// runs (a change to or from daylight-saving time in between counts). nullopt when the difference
// does not fit 32 bits.
std::optional<qint32> RemainingSeconds(qint64 now, const TargetMoment& target);

// Reads the clock, then the selectors, and gives the remaining seconds; nullopt when there is no
// target moment or the difference does not fit 32 bits, both of which count as out of range.
std::optional<qint32> GetRemainingSeconds(const Clock& clock, const TargetSelectors& targets);

constexpr bool CountdownInRange(qint32 remaining)
{
    return remaining >= 0 && remaining < kCountdownLimit;
}

constexpr bool CountdownInRange(std::optional<qint32> remaining)
{
    return remaining.has_value() && CountdownInRange(*remaining);
}

constexpr CountdownFields SplitCountdown(qint32 remaining)
{
    return {remaining / kSecondsPerDay, remaining % kSecondsPerDay / 3600, remaining % 3600 / 60,
            remaining % 60};
}

// The 16-character countdown text: "  ddd:hh:mm:ss  " for 0 to 999 days, else the days
// right-aligned in five characters ("-5087:-7:29:36  ").
QString FormatCountdown(const CountdownFields& fields);

// What the countdown label shows when there is no countdown to show at all.
inline const QString kNoCountdownText = QStringLiteral("  ---:--:--:--  ");

}  // namespace quenterra
