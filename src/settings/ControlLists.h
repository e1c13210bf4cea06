#pragma once

#include <QStringList>

namespace quenterra {

// The target years. The stored year is the list position plus the first year, so the list only ever
// grows at its end.
inline constexpr int kFirstYear = 2012;
inline constexpr int kLastYear = 2099;

// The lists of the hidden selectors, whose list positions the settings file keeps.
QStringList YearItems();    // "2012" ... "2099"
QStringList MonthItems();   // " 1" ... "12"
QStringList DayItems();     // " 1" ... "31"
QStringList HourItems();    // " 0" ... "23"
QStringList MinuteItems();  // " 0" ... "59", also for the seconds
QStringList BrightItems();  // "1" ... "4"

// The items of a number list: " 0" ... " 9", "10", ...; numbers below 10 carry one leading blank.
QStringList NumberItems(int first, int last);
// The items first ... last, with no blanks: "1", "2", ...
QStringList PlainItems(int first, int last);

}  // namespace quenterra
