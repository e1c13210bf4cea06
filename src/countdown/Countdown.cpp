#include "countdown/Countdown.h"

#include <algorithm>
#include <limits>

#include "countdown/LocalTime.h"

namespace quenterra {

std::optional<int> ReadWholeNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype firstDigit = i;
    qint64 value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = std::min<qint64>(value * 10 + (text[i].unicode() - u'0'),
                                 std::numeric_limits<int>::max());
        ++i;
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

std::optional<QDate> DateFromParts(int year, int month, int day)
{
    const QDate date = QDate(year, 1, 1).addMonths(month - 1).addDays(qint64(day) - 1);
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

std::optional<TargetMoment> ReadTargetMoment(const TargetSelectors& targets)
{
    const auto year = ReadWholeNumber(targets.year.text());
    const auto month = ReadWholeNumber(targets.month.text());
    const auto day = ReadWholeNumber(targets.day.text());
    const int hour = targets.hour.listPosition();
    const int minute = targets.minute.listPosition();
    const int second = targets.second.listPosition();
    if (!year || !month || !day) {
        return std::nullopt;
    }
    const auto date = DateFromParts(*year, *month, *day);
    const QTime time(hour, minute, second);
    if (!date || !time.isValid()) {
        return std::nullopt;
    }
    return TargetMoment{*date, time};
}

std::optional<qint32> RemainingSeconds(qint64 now, const TargetMoment& target)
{
    const qint64 difference = LocalWallClockToInstant(target.date, target.time) - now;
    if (difference < std::numeric_limits<qint32>::min() ||
        difference > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    return static_cast<qint32>(difference);
}

std::optional<qint32> GetRemainingSeconds(const Clock& clock, const TargetSelectors& targets)
{
    const qint64 now = clock.secsSinceEpoch();
    const auto target = ReadTargetMoment(targets);
    if (!target) {
        return std::nullopt;
    }
    return RemainingSeconds(now, *target);
}

namespace {

// The rightmost two characters of "00" followed by the number: 5 -> "05", -5 -> "-5", -29 -> "29".
QString twoCharacters(qint32 value)
{
    return (QStringLiteral("00") + QString::number(value)).right(2);
}

}  // namespace

QString FormatCountdown(const CountdownFields& fields)
{
    const QString days = QString::number(fields.Days);
    const QString dayField = fields.Days >= 0 && fields.Days <= 999
                                 ? QStringLiteral("  ") + (QStringLiteral("000") + days).right(3)
                                 : (QStringLiteral("     ") + days).right(5);
    return dayField + u':' + twoCharacters(fields.Hours) + u':' + twoCharacters(fields.Minutes) +
           u':' + twoCharacters(fields.Seconds) + QStringLiteral("  ");
}

}  // namespace quenterra
