// The live countdown and clock display: its texts, its stop on an out-of-range countdown, and the
// clock label's format.

#include <QTest>

#include "countdown/CountdownDisplay.h"
#include "support/Fakes.h"
#include "support/TestMain.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

// A display wired to fakes, with the target moment 2015-06-02 12:30:15 in its selectors.
struct Rig {
    FakeClock clock{QDateTime(QDate(2015, 6, 1), QTime(12, 0))};
    HiddenSelectors selectors;
    FakeCaption lblDJS{QStringLiteral("888:88:88:88")};
    FakeCaption lblNow{QStringLiteral("YY-MM-DD hh:mm:ss")};
    FakeRefreshTimer timer1;
    FakeMessages messages;
    CountdownDisplay display{
        clock, selectors.targets(), {lblDJS, lblNow, timer1}, messages, ClockText(QLocale::c())};

    Rig() { selectors.setTarget(2015, 6, 2, 12, 30, 15); }
};

const ShownMessage kOutOfRange{QStringLiteral("Down Count Days Out of Range!"),
                               QStringLiteral("Note")};

}  // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private slots:
    // The first countdown: in range, the refresh runs on; out of range, or with no target at all (a
    // selector with no item chosen), it stops, and only then is the Message shown. The clock is
    // left to the refresh.
    void atStart_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("target");
        QTest::addColumn<QString>("countdown");
        QTest::addColumn<bool>("stops");
        const QDateTime june(QDate(2015, 6, 1), QTime(12, 0));
        QTest::newRow("in range") << june << true << "  001:00:30:15  " << false;
        QTest::newRow("past, as the built-in default target is")
            << QDateTime(QDate(2019, 6, 1), QTime(12, 0)) << true << "-1459:23:29:45  " << true;
        QTest::newRow("1000 days ahead")
            << QDateTime(QDate(2015, 6, 2), QTime(12, 30, 15)).addDays(-1000) << true
            << " 1000:00:00:00  " << true;
        QTest::newRow("no target") << june << false << "  ---:--:--:--  " << true;
    }

    void atStart()
    {
        QFETCH(QDateTime, now);
        QFETCH(bool, target);
        QFETCH(QString, countdown);
        QFETCH(bool, stops);
        Rig rig;
        rig.clock.set(now);
        if (!target) {
            rig.selectors.month.setListPosition(-1);
        }
        bool timerWhileShown = true;
        rig.messages.onShow = [&](const ShownMessage&) {
            timerWhileShown = rig.timer1.isEnabled();
        };

        rig.display.ShowCountdown();

        QVERIFY2(timerWhileShown != stops, "the refresh must stop before the message is shown");
        const std::vector<ShownMessage> none;
        const std::vector<ShownMessage> once{kOutOfRange};
        QCOMPARE(rig.messages.shown, stops ? once : none);
        QCOMPARE(rig.timer1.isEnabled(), !stops);
        QCOMPARE(rig.lblDJS.caption(), countdown);
        QCOMPARE(rig.lblNow.caption(), QStringLiteral("YY-MM-DD hh:mm:ss"));
        QCOMPARE(rig.lblNow.writes, 0);
    }

    // Every tick in the target second shows zero; the first tick after it stops the refresh, shows
    // the message once, and writes the clock after the message has gone.
    void targetReachedWhileRunning()
    {
        Rig rig;
        rig.clock.set(QDateTime(QDate(2015, 6, 2), QTime(12, 30, 14)));
        rig.display.ShowCountdown();

        rig.display.tick();
        QCOMPARE(rig.lblDJS.caption(), QStringLiteral("  000:00:00:01  "));
        QCOMPARE(rig.lblNow.caption(), QStringLiteral("2 Jun 2015 12:30:14"));
        rig.clock.advance(1);
        for (int i = 0; i < 3; ++i) {
            rig.display.tick();
            QCOMPARE(rig.lblDJS.caption(), QStringLiteral("  000:00:00:00  "));
            QVERIFY(rig.timer1.isEnabled());
        }
        QVERIFY(rig.messages.shown.empty());

        rig.clock.advance(1);
        QString clockWhileShown;
        rig.messages.onShow = [&](const ShownMessage&) {
            clockWhileShown = rig.lblNow.caption();
            rig.clock.advance(7);  // the user takes a while to dismiss it
        };
        rig.display.tick();
        QCOMPARE(rig.messages.shown, std::vector<ShownMessage>{kOutOfRange});
        QVERIFY(!rig.timer1.isEnabled());
        QCOMPARE(rig.lblDJS.caption(), QStringLiteral("  000:00:00:-1  "));
        QCOMPARE(clockWhileShown, QStringLiteral("2 Jun 2015 12:30:15"));
        QCOMPARE(rig.lblNow.caption(), QStringLiteral("2 Jun 2015 12:30:23"));
    }

    // Twenty beats a second, but the labels only change with the second: beats in between write
    // nothing.
    void beatsWithinASecondWriteNothing()
    {
        Rig rig;
        rig.display.ShowCountdown();
        rig.display.tick();
        const int countdownWrites = rig.lblDJS.writes;
        const int clockWrites = rig.lblNow.writes;
        for (int beat = 0; beat < 19; ++beat) {
            rig.display.tick();
        }
        QCOMPARE(rig.lblDJS.writes, countdownWrites);
        QCOMPARE(rig.lblNow.writes, clockWrites);
        rig.clock.advance(1);
        rig.display.tick();
        QCOMPARE(rig.lblDJS.caption(), QStringLiteral("  001:00:30:14  "));
        QCOMPARE(rig.lblNow.caption(), QStringLiteral("1 Jun 2015 12:00:01"));
        // A changed target shows at the next beat, within the same second.
        rig.selectors.hour.setListPosition(13);
        rig.display.tick();
        QCOMPARE(rig.lblDJS.caption(), QStringLiteral("  001:01:30:14  "));
    }

    void clockText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("text");
        const QDateTime afternoon(QDate(2015, 6, 1), QTime(14, 5, 9));
        const QDateTime midnight(QDate(2015, 6, 1), QTime(0, 0));
        QTest::newRow("C") << QLocale::c() << afternoon << "1 Jun 2015 14:05:09";
        QTest::newRow("C at midnight: the date alone") << QLocale::c() << midnight << "1 Jun 2015";
        QTest::newRow("C one second after midnight")
            << QLocale::c() << midnight.addSecs(1) << "1 Jun 2015 00:00:01";
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << afternoon
                                << "01.06.15 14:05:09";
        QTest::newRow("US English")
            << QLocale(QLocale::English, QLocale::UnitedStates) << afternoon << "6/1/15 2:05:09 PM";
        QTest::newRow("Spanish") << QLocale(QLocale::Spanish, QLocale::Spain) << afternoon
                                 << "1/6/15 14:05:09";
        QTest::newRow("Chinese (Taiwan)") << QLocale(QLocale::Chinese, QLocale::Taiwan) << afternoon
                                          << "2015/6/1 \u4e0b\u53482:05:09";
    }

    void clockText()
    {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, moment);
        QFETCH(QString, text);
        QCOMPARE(ClockText(locale).format(moment), text);
    }

    void clockTimeFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("clock");
        const auto row = [](const char* name, const char* format, const char* clock) {
            QTest::newRow(name) << QString::fromUtf8(format) << QString::fromUtf8(clock);
        };
        row("trailing zone", "HH:mm:ss t", "HH:mm:ss");
        row("leading zone", "t HH:mm:ss", "HH:mm:ss");
        row("long zone name", "h:mm:ss AP tttt", "h:mm:ss AP");
        row("quoted t kept", "H 'h' mm 'et' ss t", "H 'h' mm 'et' ss");
        row("zone in brackets (es_ES)", "H:mm:ss (t)", "H:mm:ss");
        row("zone in square brackets, day period B (zh_TW)", "Bh:mm:ss [t]", "APh:mm:ss");
        row("zone after a comma (be_BY)", "HH:mm:ss, t", "HH:mm:ss");
        row("zone between two fields", "h:mm:ss t AP", "h:mm:ss AP");
        row("quoted text before the zone kept (bg_BG)", "H:mm:ss '\u0447'. t", "H:mm:ss '\u0447'.");
        row("B beside a 24-hour clock: taken out", "B HH:mm:ss", "HH:mm:ss");
        row("hours 1 to 24 and 0 to 11", "kk:mm:ss K:mm AP", "HH:mm:ss h:mm AP");
    }

    void clockTimeFormat()
    {
        QFETCH(QString, format);
        QFETCH(QString, clock);
        QCOMPARE(ClockTimeFormat(format), clock);
    }
};

QUENTERRA_TEST_MAIN(TestDisplay)
#include "tst_display.moc"
