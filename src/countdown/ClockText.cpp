#include "countdown/ClockText.h"

namespace quenterra {

QString WithoutTimeZone(const QString& timeFormat)
{
    QString result;
    bool quoted = false;
    for (const QChar c : timeFormat) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            continue;
        }
        result += c;
    }
    return result.simplified();
}

ClockText::ClockText(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)))
{
}

QString ClockText::format(const QDateTime& moment) const
{
    QString date = locale_.toString(moment.date(), dateFormat_);
    if (moment.time() == QTime(0, 0)) {
        return date;
    }
    return date + u' ' + locale_.toString(moment.time(), timeFormat_);
}

}  // namespace quenterra
