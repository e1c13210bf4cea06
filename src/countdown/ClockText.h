#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace quenterra {

// The clock label's text: the locale's short date, one blank and the time of day with seconds in
// the locale's long time form without its time-zone name; at exactly 00:00:00 the date alone.
class ClockText {
public:
    explicit ClockText(const QLocale& locale = QLocale());
    QString format(const QDateTime& moment) const;

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
};

// A time format with every time-zone field (and the blanks that set it apart) taken out, quoted
// literal text left alone: "HH:mm:ss t" -> "HH:mm:ss".
QString WithoutTimeZone(const QString& timeFormat);

}  // namespace quenterra
