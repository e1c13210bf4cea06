#include "app/ControlLists.h"

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

}  // namespace quenterra
