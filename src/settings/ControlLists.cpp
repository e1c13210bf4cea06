#include "settings/ControlLists.h"

namespace quenterra {

QStringList NumberItems(int first, int last)
{
    QStringList items;
    for (int n = first; n <= last; ++n) {
        items << (n < 10 ? QStringLiteral(" %1").arg(n) : QString::number(n));
    }
    return items;
}

QStringList PlainItems(int first, int last)
{
    QStringList items;
    for (int n = first; n <= last; ++n) {
        items << QString::number(n);
    }
    return items;
}

QStringList YearItems()
{
    return PlainItems(kFirstYear, kLastYear);
}
QStringList MonthItems()
{
    return NumberItems(1, 12);
}
QStringList DayItems()
{
    return NumberItems(1, 31);
}
QStringList HourItems()
{
    return NumberItems(0, 23);
}
QStringList MinuteItems()
{
    return NumberItems(0, 59);
}
QStringList BrightItems()
{
    return PlainItems(1, 4);
}

}  // namespace quenterra
