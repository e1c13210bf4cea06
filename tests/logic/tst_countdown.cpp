// The countdown: target moment, remaining seconds, range, split and the label texts.

#include <QTest>

#include "countdown/Countdown.h"
#include "support/Fakes.h"
#include "support/TestMain.h"

using namespace quenterra;

Q_DECLARE_METATYPE(std::optional<int>)
using namespace quenterra::test;

namespace {

// The target selectors holding the given target, as the settings load leaves them.
HiddenSelectors holding(int y, int mo, int d, int h, int mi, int s)
{
    HiddenSelectors selectors;
    selectors.setTarget(y, mo, d, h, mi, s);
    return selectors;
}

QDateTime local(int y, int mo, int d, int h, int mi, int s)
{
    return {QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime};
}

}  // namespace

class TestCountdown : public QObject {
    Q_OBJECT

private slots:
    void workedExamples_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QList<int>>("selectors");
        QTest::addColumn<QDateTime>("target");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<bool>("inRange");

        QTest::newRow("a day and a half hour ahead")
            << local(2015, 6, 1, 12, 0, 0) << QList<int>{2015, 6, 2, 12, 30, 15}
            << local(2015, 6, 2, 12, 30, 15) << 88215 << QList<int>{1, 0, 30, 15} << true;
        QTest::newRow("31 February in a leap year")
            << local(2016, 2, 20, 8, 0, 0) << QList<int>{2016, 2, 31, 0, 0, 0}
            << local(2016, 3, 2, 0, 0, 0) << 921600 << QList<int>{10, 16, 0, 0} << true;
        QTest::newRow("30 February in a common year")
            << local(2013, 2, 20, 8, 0, 0) << QList<int>{2013, 2, 30, 0, 0, 0}
            << local(2013, 3, 2, 0, 0, 0) << 835200 << QList<int>{9, 16, 0, 0} << true;
        QTest::newRow("six seconds past")
            << local(2013, 1, 1, 0, 0, 5) << QList<int>{2012, 12, 31, 23, 59, 59}
            << local(2012, 12, 31, 23, 59, 59) << -6 << QList<int>{0, 0, 0, -6} << false;
        QTest::newRow("seven years past")
            << local(2020, 1, 1, 0, 0, 0) << QList<int>{2012, 12, 31, 23, 59, 59}
            << local(2012, 12, 31, 23, 59, 59) << -220838401 << QList<int>{-2556, 0, 0, -1}
            << false;
        QTest::newRow("target is now")
            << local(2014, 5, 5, 5, 5, 5) << QList<int>{2014, 5, 5, 5, 5, 5}
            << local(2014, 5, 5, 5, 5, 5) << 0 << QList<int>{0, 0, 0, 0} << true;
        QTest::newRow("one second past")
            << local(2014, 5, 5, 5, 5, 6) << QList<int>{2014, 5, 5, 5, 5, 5}
            << local(2014, 5, 5, 5, 5, 5) << -1 << QList<int>{0, 0, 0, -1} << false;
        QTest::newRow("999 days 23:59:59 ahead")
            << local(2017, 3, 24, 0, 0, 1) << QList<int>{2019, 12, 19, 0, 0, 0}
            << local(2019, 12, 19, 0, 0, 0) << 86399999 << QList<int>{999, 23, 59, 59} << true;
        QTest::newRow("exactly 1000 days ahead")
            << local(2017, 3, 24, 0, 0, 0) << QList<int>{2019, 12, 19, 0, 0, 0}
            << local(2019, 12, 19, 0, 0, 0) << 86400000 << QList<int>{1000, 0, 0, 0} << false;
        QTest::newRow("31 April is 1 May")
            << local(2014, 4, 30, 0, 0, 0) << QList<int>{2014, 4, 31, 6, 0, 0}
            << local(2014, 5, 1, 6, 0, 0) << 108000 << QList<int>{1, 6, 0, 0} << true;
        QTest::newRow("29 February 2013 is 1 March")
            << local(2013, 2, 28, 0, 0, 0) << QList<int>{2013, 2, 29, 0, 0, 0}
            << local(2013, 3, 1, 0, 0, 0) << 86400 << QList<int>{1, 0, 0, 0} << true;
        QTest::newRow("29 February 2020 is real")
            << local(2020, 2, 28, 0, 0, 0) << QList<int>{2020, 2, 29, 0, 0, 0}
            << local(2020, 2, 29, 0, 0, 0) << 86400 << QList<int>{1, 0, 0, 0} << true;
    }

    void workedExamples()
    {
        QFETCH(QDateTime, now);
        QFETCH(QList<int>, selectors);
        QFETCH(QDateTime, target);
        QFETCH(int, remaining);
        QFETCH(QList<int>, fields);
        QFETCH(bool, inRange);

        const HiddenSelectors targets = holding(selectors[0], selectors[1], selectors[2],
                                                selectors[3], selectors[4], selectors[5]);
        const auto moment = ReadTargetMoment(targets.targets());
        QVERIFY(moment);
        QCOMPARE(moment->date, target.date());
        QCOMPARE(moment->time, target.time());

        const FakeClock clock(now);
        const auto seconds = GetRemainingSeconds(clock, targets.targets());
        QCOMPARE(seconds, std::optional<qint32>(remaining));
        QCOMPARE(SplitCountdown(remaining),
                 (CountdownFields{fields[0], fields[1], fields[2], fields[3]}));
        QCOMPARE(CountdownInRange(remaining), inRange);
    }

    void split_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QList<int>>("fields");
        QTest::newRow("-86400") << -86400 << QList<int>{-1, 0, 0, 0};
        QTest::newRow("-61") << -61 << QList<int>{0, 0, -1, -1};
        QTest::newRow("-90061") << -90061 << QList<int>{-1, -1, -1, -1};
        QTest::newRow("int32 min")
            << std::numeric_limits<qint32>::min() << QList<int>{-24855, -3, -14, -8};
        QTest::newRow("int32 max")
            << std::numeric_limits<qint32>::max() << QList<int>{24855, 3, 14, 7};
    }

    void split()
    {
        QFETCH(int, remaining);
        QFETCH(QList<int>, fields);
        QCOMPARE(SplitCountdown(remaining),
                 (CountdownFields{fields[0], fields[1], fields[2], fields[3]}));
    }

    void range_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("int32 min") << std::numeric_limits<qint32>::min() << false;
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("86399999") << 86399999 << true;
        QTest::newRow("86400000") << 86400000 << false;
        QTest::newRow("int32 max") << std::numeric_limits<qint32>::max() << false;
    }

    void range()
    {
        QFETCH(int, remaining);
        QFETCH(bool, inRange);
        QCOMPARE(CountdownInRange(remaining), inRange);
        QCOMPARE(CountdownInRange(std::optional<qint32>(remaining)), inRange);
    }

    void displayTexts_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "  000:00:00:00  ";
        QTest::newRow("1") << 1 << "  000:00:00:01  ";
        QTest::newRow("88215") << 88215 << "  001:00:30:15  ";
        QTest::newRow("86399999") << 86399999 << "  999:23:59:59  ";
        QTest::newRow("86400000") << 86400000 << " 1000:00:00:00  ";
        QTest::newRow("-1") << -1 << "  000:00:00:-1  ";
        QTest::newRow("-61") << -61 << "  000:00:-1:-1  ";
        QTest::newRow("-86400") << -86400 << "   -1:00:00:00  ";
        QTest::newRow("-91800") << -91800 << "   -1:-1:30:00  ";
        QTest::newRow("-439543776") << -439543776 << "-5087:-7:29:36  ";
        QTest::newRow("-864000000") << -864000000 << "10000:00:00:00  ";
        QTest::newRow("int32 min") << std::numeric_limits<qint32>::min() << "24855:-3:14:-8  ";
    }

    void displayTexts()
    {
        QFETCH(int, remaining);
        QFETCH(QString, text);
        const QString shown = FormatCountdown(SplitCountdown(remaining));
        QCOMPARE(shown, text);
        QCOMPARE(shown.size(), 16);
    }

    // A selector with no item chosen, or a difference that does not fit 32 bits, has no countdown
    // at all, which counts as out of range; nothing is ever wrapped into a plausible number.
    void noCountdown_data()
    {
        QTest::addColumn<QString>("emptied");
        QTest::addColumn<QDateTime>("now");
        QTest::newRow("no year") << "year" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("no month") << "month" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("no day") << "day" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("no hour") << "hour" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("no minute") << "minute" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("no second") << "second" << local(2015, 1, 1, 0, 0, 0);
        QTest::newRow("69 years after the target") << "" << local(2085, 1, 1, 0, 0, 0);
        QTest::newRow("69 years before the target") << "" << local(1946, 1, 1, 0, 0, 0);
    }

    void noCountdown()
    {
        QFETCH(QString, emptied);
        QFETCH(QDateTime, now);
        HiddenSelectors targets = holding(2016, 1, 1, 0, 0, 0);
        FakeSelector* selectors[] = {&targets.year, &targets.month,  &targets.day,
                                     &targets.hour, &targets.minute, &targets.second};
        const char* names[] = {"year", "month", "day", "hour", "minute", "second"};
        for (int i = 0; i < 6; ++i) {
            if (emptied == QLatin1String(names[i])) {
                selectors[i]->setListPosition(-1);
            }
        }
        const FakeClock clock(now);
        const auto remaining = GetRemainingSeconds(clock, targets.targets());
        QCOMPARE(remaining, std::nullopt);
        QVERIFY(!CountdownInRange(remaining));
    }

    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("number");
        QTest::newRow("item with a blank") << " 3" << std::optional<int>(3);
        QTest::newRow("plain") << "2015" << std::optional<int>(2015);
        QTest::newRow("empty") << "" << std::optional<int>();
        QTest::newRow("blanks only") << "   " << std::optional<int>();
        QTest::newRow("not a number") << "x1" << std::optional<int>();
        QTest::newRow("trailing text") << "12ab" << std::optional<int>(12);
        QTest::newRow("negative") << "-4" << std::optional<int>(-4);
    }

    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<int>, number);
        QCOMPARE(ReadWholeNumber(text), number);
    }
};

QUENTERRA_TEST_MAIN(TestCountdown)
#include "tst_countdown.moc"
