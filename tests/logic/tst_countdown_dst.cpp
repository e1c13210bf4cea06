// The countdown in a time zone with daylight-saving time: it counts real seconds, as the badge
// does. Berlin, 2015: the clocks went 02:00 -> 03:00 on 29 March and 03:00 -> 02:00 on 25 October.

#include <QTest>

#include "countdown/Countdown.h"
#include "countdown/LocalTime.h"
#include "support/Fakes.h"
#include "support/TestMain.h"

using namespace quenterra;

Q_DECLARE_METATYPE(quenterra::TargetMoment)

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toLocalTime();
}

TargetMoment wall(int y, int mo, int d, int h, int mi, int s)
{
    return {QDate(y, mo, d), QTime(h, mi, s)};
}

}  // namespace

class TestCountdownDst : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Guards against a machine without time-zone data, where every case would pass vacuously.
        QCOMPARE(utc(2015, 7, 1, 12, 0, 0).offsetFromUtc(), 7200);
        QCOMPARE(utc(2015, 1, 1, 12, 0, 0).offsetFromUtc(), 3600);
    }

    void realSeconds_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<TargetMoment>("target");
        QTest::addColumn<int>("remaining");

        QTest::newRow("a calendar day over the spring change is 23 hours")
            << utc(2015, 3, 28, 11, 0, 0) << wall(2015, 3, 29, 12, 0, 0) << 23 * 3600;
        QTest::newRow("a calendar day over the autumn change is 25 hours")
            << utc(2015, 10, 24, 10, 0, 0) << wall(2015, 10, 25, 12, 0, 0) << 25 * 3600;
        QTest::newRow("no change in between: the plain calendar")
            << utc(2015, 3, 29, 2, 0, 0) << wall(2015, 3, 29, 5, 0, 0) << 3600;
        QTest::newRow("winter to winter across years: the plain calendar")
            << utc(2013, 1, 1, 12, 0, 0) << wall(2014, 1, 1, 13, 0, 0) << 365 * 86400;
        QTest::newRow("target in the skipped hour counts to 03:00")
            << utc(2015, 3, 29, 0, 0, 0) << wall(2015, 3, 29, 2, 30, 0) << 3600;
        QTest::newRow("target at the start of the skipped hour")
            << utc(2015, 3, 29, 0, 0, 0) << wall(2015, 3, 29, 2, 0, 0) << 3600;
        QTest::newRow("target at the first moment after the gap")
            << utc(2015, 3, 29, 0, 0, 0) << wall(2015, 3, 29, 3, 0, 0) << 3600;
        QTest::newRow("target in the repeated hour means its first occurrence")
            << utc(2015, 10, 24, 22, 0, 0) << wall(2015, 10, 25, 2, 30, 0) << 9000;
        QTest::newRow("now in the second occurrence of the repeated hour")
            << utc(2015, 10, 25, 1, 30, 0) << wall(2015, 10, 25, 3, 0, 0) << 1800;
        QTest::newRow("target reached when the local clock shows it")
            << utc(2015, 10, 25, 2, 0, 0) << wall(2015, 10, 25, 3, 0, 0) << 0;
    }

    void realSeconds()
    {
        QFETCH(QDateTime, now);
        QFETCH(TargetMoment, target);
        QFETCH(int, remaining);
        QCOMPARE(RemainingSeconds(now.toSecsSinceEpoch(), target),
                 std::optional<qint32>(remaining));
    }

    // Second by second across each change, the countdown drops by exactly one: the live display
    // never jumps by an hour.
    void steadyAcrossTheChanges_data()
    {
        QTest::addColumn<QDateTime>("before");
        QTest::newRow("spring") << utc(2015, 3, 29, 0, 59, 50);
        QTest::newRow("autumn") << utc(2015, 10, 25, 0, 59, 50);
    }

    void steadyAcrossTheChanges()
    {
        QFETCH(QDateTime, before);
        const TargetMoment target = wall(2015, 12, 24, 18, 0, 0);
        auto previous = RemainingSeconds(before.toSecsSinceEpoch(), target);
        QVERIFY(previous);
        for (int step = 1; step <= 20; ++step) {
            const auto current = RemainingSeconds(before.addSecs(step).toSecsSinceEpoch(), target);
            QVERIFY(current);
            QCOMPARE(*current, *previous - 1);
            previous = current;
        }
    }

    void wallClockToInstant_data()
    {
        QTest::addColumn<TargetMoment>("reading");
        QTest::addColumn<QDateTime>("instant");
        QTest::newRow("winter") << wall(2015, 1, 10, 8, 0, 0) << utc(2015, 1, 10, 7, 0, 0);
        QTest::newRow("summer") << wall(2015, 7, 10, 8, 0, 0) << utc(2015, 7, 10, 6, 0, 0);
        QTest::newRow("last second before the gap")
            << wall(2015, 3, 29, 1, 59, 59) << utc(2015, 3, 29, 0, 59, 59);
        QTest::newRow("last second of the gap")
            << wall(2015, 3, 29, 2, 59, 59) << utc(2015, 3, 29, 1, 0, 0);
        QTest::newRow("first second of the repeated hour")
            << wall(2015, 10, 25, 2, 0, 0) << utc(2015, 10, 25, 0, 0, 0);
        QTest::newRow("last second of the repeated hour")
            << wall(2015, 10, 25, 2, 59, 59) << utc(2015, 10, 25, 0, 59, 59);
        QTest::newRow("after the repeated hour")
            << wall(2015, 10, 25, 3, 0, 0) << utc(2015, 10, 25, 2, 0, 0);
    }

    void wallClockToInstant()
    {
        QFETCH(TargetMoment, reading);
        QFETCH(QDateTime, instant);
        QCOMPARE(LocalWallClockToInstant(reading.date, reading.time), instant.toSecsSinceEpoch());
    }
};

QUENTERRA_TEST_MAIN_IN_ZONE(TestCountdownDst, "Europe/Berlin")
#include "tst_countdown_dst.moc"
