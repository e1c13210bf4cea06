#include "settings/ControlLists.h"

#include "badge/PortMap.h"

namespace quenterra {

QStringList NumberItems(int first, int last)
{
    QStringList items;
    for (int n = first; n <= last; ++n) {
        items << (n < 10 ? QStringLiteral(" %1").arg(n) : QString::number(n));
    }
    return items;
}

QStringList PlainItems(const QString& prefix, int first, int last)
{
    QStringList items;
    for (int n = first; n <= last; ++n) {
        items << prefix + QString::number(n);
    }
    return items;
}

QStringList PortItems(int last)
{
    QStringList items;
    for (int n = kFirstPortNumber; n <= last; ++n) {
        items << PortName(n);
    }
    return items;
}

QStringList YearItems()
{
    return PlainItems({}, kFirstYear, kLastYear);
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
    return PlainItems({}, 1, 4);
}

}  // namespace quenterra
