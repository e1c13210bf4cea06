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

// The clock's form of a locale's long time format: every time-zone field taken out together with
// what only surrounds it (its brackets, the comma or blanks that set it apart), and the pattern
// letters Qt cannot format replaced by the nearest ones it can (a day period by "AP", an hour of
// 1 to 24 or 0 to 11 by the 24- or 12-hour one). Quoted literal text is left alone:
// "HH:mm:ss (t)" -> "HH:mm:ss", "Bh:mm:ss [t]" -> "APh:mm:ss".
QString ClockTimeFormat(const QString& longTimeFormat);

}  // namespace quenterra
