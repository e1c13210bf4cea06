#pragma once

#include <QStringList>

namespace quenterra {

// The items of a number list: " 0" ... " 9", "10", ...; numbers below 10 carry one leading blank.
QStringList NumberItems(int first, int last);
// The items prefix + first ... prefix + last, with no blanks: "COM1", "COM2", ... or "1", "2", ...
QStringList PlainItems(const QString& prefix, int first, int last);

}  // namespace quenterra
