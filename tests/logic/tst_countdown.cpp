// The countdown: target moment, remaining seconds, range, split and the label texts.

#include <QTest>

#include "countdown/Countdown.h"
#include "support/Fakes.h"
#include "support/TestMain.h"

using namespace quenterra;

Q_DECLARE_METATYPE(std::optional<int>)
using namespace quenterra::test;

namespace {

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

        QTest::newRow("a day and a half hour ahead")
            << local(2015, 6, 1, 12, 0, 0) << QList<int>{2015, 6, 2, 12, 30, 15}
            << local(2015, 6, 2, 12, 30, 15) << 88215;
        QTest::newRow("31 February in a leap year")
            << local(2016, 2, 20, 8, 0, 0) << QList<int>{2016, 2, 31, 0, 0, 0}
            << local(2016, 3, 2, 0, 0, 0) << 921600;
        QTest::newRow("30 February in a common year")
            << local(2013, 2, 20, 8, 0, 0) << QList<int>{2013, 2, 30, 0, 0, 0}
            << local(2013, 3, 2, 0, 0, 0) << 835200;
        QTest::newRow("six seconds past")
            << local(2013, 1, 1, 0, 0, 5) << QList<int>{2012, 12, 31, 23, 59, 59}
            << local(2012, 12, 31, 23, 59, 59) << -6;
        QTest::newRow("seven years past")
            << local(2020, 1, 1, 0, 0, 0) << QList<int>{2012, 12, 31, 23, 59, 59}
            << local(2012, 12, 31, 23, 59, 59) << -220838401;
        QTest::newRow("999 days 23:59:59 ahead")
            << local(2017, 3, 24, 0, 0, 1) << QList<int>{2019, 12, 19, 0, 0, 0}
            << local(2019, 12, 19, 0, 0, 0) << 86399999;
        QTest::newRow("exactly 1000 days ahead")
            << local(2017, 3, 24, 0, 0, 0) << QList<int>{2019, 12, 19, 0, 0, 0}
            << local(2019, 12, 19, 0, 0, 0) << 86400000;
        QTest::newRow("31 April is 1 May")
            << local(2014, 4, 30, 0, 0, 0) << QList<int>{2014, 4, 31, 6, 0, 0}
            << local(2014, 5, 1, 6, 0, 0) << 108000;
        QTest::newRow("29 February 2013 is 1 March")
            << local(2013, 2, 28, 0, 0, 0) << QList<int>{2013, 2, 29, 0, 0, 0}
            << local(2013, 3, 1, 0, 0, 0) << 86400;
        QTest::newRow("29 February 2020 is real")
            << local(2020, 2, 28, 0, 0, 0) << QList<int>{2020, 2, 29, 0, 0, 0}
            << local(2020, 2, 29, 0, 0, 0) << 86400;
    }

    void workedExamples()
    {
        QFETCH(QDateTime, now);
        QFETCH(QList<int>, selectors);
        QFETCH(QDateTime, target);
        QFETCH(int, remaining);

        HiddenSelectors targets;
        targets.setTarget(selectors[0], selectors[1], selectors[2], selectors[3], selectors[4],
                          selectors[5]);
        const auto moment = ReadTargetMoment(targets.targets());
        QVERIFY(moment);
        QCOMPARE(moment->date, target.date());
        QCOMPARE(moment->time, target.time());

        const FakeClock clock(now);
        const auto seconds = GetRemainingSeconds(clock, targets.targets());
        QCOMPARE(seconds, std::optional<qint32>(remaining));
    }

    // A remaining-seconds value: its fields, whether the display and the badge can carry it, and
    // the countdown label's text.
    void fromRemaining_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<bool>("inRange");
        QTest::addColumn<QString>("text");
        const auto row = [](int remaining, const QList<int>& fields, bool inRange,
                            const char* text) {
            QTest::addRow("%d", remaining) << remaining << fields << inRange << QString(text);
        };
        row(0, {0, 0, 0, 0}, true, "  000:00:00:00  ");
        row(1, {0, 0, 0, 1}, true, "  000:00:00:01  ");
        row(88215, {1, 0, 30, 15}, true, "  001:00:30:15  ");
        row(86399999, {999, 23, 59, 59}, true, "  999:23:59:59  ");
        row(86400000, {1000, 0, 0, 0}, false, " 1000:00:00:00  ");
        row(-1, {0, 0, 0, -1}, false, "  000:00:00:-1  ");
        row(-61, {0, 0, -1, -1}, false, "  000:00:-1:-1  ");
        row(-86400, {-1, 0, 0, 0}, false, "   -1:00:00:00  ");
        row(-90061, {-1, -1, -1, -1}, false, "   -1:-1:-1:-1  ");
        row(-91800, {-1, -1, -30, 0}, false, "   -1:-1:30:00  ");
        row(-439543776, {-5087, -7, -29, -36}, false, "-5087:-7:29:36  ");
        row(-864000000, {-10000, 0, 0, 0}, false, "10000:00:00:00  ");
        row(std::numeric_limits<qint32>::min(), {-24855, -3, -14, -8}, false, "24855:-3:14:-8  ");
        row(std::numeric_limits<qint32>::max(), {24855, 3, 14, 7}, false, "24855:03:14:07  ");
    }

    void fromRemaining()
    {
        QFETCH(int, remaining);
        QFETCH(QList<int>, fields);
        QFETCH(bool, inRange);
        QFETCH(QString, text);
        const CountdownFields split = SplitCountdown(remaining);
        QCOMPARE(split, (CountdownFields{fields[0], fields[1], fields[2], fields[3]}));
        QCOMPARE(CountdownInRange(remaining), inRange);
        QCOMPARE(CountdownInRange(std::optional<qint32>(remaining)), inRange);
        QCOMPARE(FormatCountdown(split), text);
    }

    // A selector with no item chosen, or a difference that does not fit 32 bits, has no countdown
    // at all, which counts as out of range; nothing is ever wrapped into a plausible number.
    void noCountdown_data()
    {
        QTest::addColumn<int>("emptied");  // the selector with no item chosen, year to second
        QTest::addColumn<QDateTime>("now");
        const char* names[] = {"year", "month", "day", "hour", "minute", "second"};
        for (int i = 0; i < 6; ++i) {
            QTest::addRow("no %s", names[i]) << i << local(2015, 1, 1, 0, 0, 0);
        }
        QTest::newRow("69 years after the target") << -1 << local(2085, 1, 1, 0, 0, 0);
        QTest::newRow("69 years before the target") << -1 << local(1946, 1, 1, 0, 0, 0);
    }

    void noCountdown()
    {
        QFETCH(int, emptied);
        QFETCH(QDateTime, now);
        HiddenSelectors targets;
        targets.setTarget(2016, 1, 1, 0, 0, 0);
        FakeSelector* selectors[] = {&targets.year, &targets.month,  &targets.day,
                                     &targets.hour, &targets.minute, &targets.second};
        if (emptied >= 0) {
            selectors[emptied]->setListPosition(-1);
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
