// The sync as the press of "Sync" runs it, with a fake serial component, tick counter and pump.

#include <QTest>

#include "badge/BadgeProtocol.h"
#include "badge/BadgeSync.h"
#include "badge/PortSelection.h"
#include "support/SyncRig.h"
#include "support/TestMain.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

using Rig = SyncRig<FakeSerialComm, FakeTicks, FakePump>;

const QStringList kFullSync{"CommPort=3",     "Settings=1200,n,8,1", "PortOpen=true",
                            "DTREnable=true", "Output=Helld",        "Output=06 05 04 01 02 03 00",
                            "PortOpen=false"};
const QStringList kSteppedBar{"Max=3", "Min=0", "Value=1", "Value=2", "Value=3", "Value=0"};
const QStringList kRangeRefused{"CommPort=3", "Settings=1200,n,8,1", "PortOpen=true",
                                "DTREnable=true", "PortOpen=false"};
const ShownMessage kPortInUse{QStringLiteral("Port in use or not port"), QStringLiteral("Warning")};
const ShownMessage kOutOfRange{QStringLiteral("Down Count Days Out of Range!"),
                               QStringLiteral("Note")};

}  // namespace

class TestSync : public QObject {
    Q_OBJECT

private slots:
    void fullSync()
    {
        Rig rig;
        const quint32 start = rig.ticks.now();
        rig.sync.cmdSendClick();
        QCOMPARE(rig.comm.log, kFullSync);
        QCOMPARE(rig.comm.sent, QByteArray::fromHex("48656C6C64 06050401020300"));
        QCOMPARE(rig.progress.history, kSteppedBar);
        QVERIFY(rig.messages.shown.empty());
        QVERIFY(!rig.comm.portOpen());
        QVERIFY2(rig.ticks.now() - start >= 202, "two pauses of more than 100 ms each");
        QVERIFY(!rig.sync.inProgress());
    }

    // The port selector's text: exactly "COM1" to "COM32" names a port (0: refused with a Message).
    void portNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        for (const char* text :
             {"", "com3", "COM03", "COM3 ", " COM3", "COM 3", "COM0", "COM33", "COM", "3"}) {
            QTest::addRow("\"%s\"", text) << QString::fromLatin1(text) << 0;
        }
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("COM10 is ten, not one") << "COM10" << 10;
        QTest::newRow("COM32") << "COM32" << 32;
    }

    void portNames()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        FakeSerialComm comm;
        FakeMessages messages;
        QCOMPARE(ReadComSet(FakeSelector({}, text), comm, messages), port != 0);
        const QStringList set{QStringLiteral("CommPort=%1").arg(port), "Settings=1200,n,8,1"};
        QCOMPARE(comm.log, port ? set : QStringList());
        const std::vector<ShownMessage> refused{{"Set Port Number Error!", "Error"}};
        QCOMPARE(messages.shown, port ? std::vector<ShownMessage>() : refused);
    }

    // Each way a sync can fail: its Message, what reached the component, and the port closed after.
    void failures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<ShownMessage>("message");

        QTest::newRow("the port does not open")
            << "no such port" << QStringList{"CommPort=3", "Settings=1200,n,8,1"} << kPortInUse;
        QTest::newRow("the port reads back closed")
            << "reads closed"
            << QStringList{"CommPort=3", "Settings=1200,n,8,1", "PortOpen=true", "DTREnable=false"}
            << ShownMessage{"Open port fail!", "Error"};
        QTest::newRow("DTR cannot be set")
            << "dtr"
            << QStringList{"CommPort=3", "Settings=1200,n,8,1", "PortOpen=true", "PortOpen=false"}
            << kPortInUse;
        // Refused by the range check, before anything is sent.
        QTest::newRow("the target has passed") << "past" << kRangeRefused << kOutOfRange;
        QTest::newRow("1000 days ahead") << "1000 days" << kRangeRefused << kOutOfRange;
        QTest::newRow("999 days 23:30 ahead, the clock stepped back an hour during the wait")
            << "clock steps back" << kRangeRefused << kOutOfRange;
        QTest::newRow("no target") << "no target" << kRangeRefused << kOutOfRange;
        QTest::newRow("the port number is refused") << "commport" << QStringList{} << kPortInUse;
        QTest::newRow("the line settings are refused")
            << "settings" << QStringList{"CommPort=3"} << kPortInUse;
        QTest::newRow("the busy test cannot read the port")
            << "busy read" << QStringList{} << kPortInUse;
    }

    void failures()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, log);
        QFETCH(ShownMessage, message);
        Rig rig;
        if (fault == "no such port") {
            rig.comm.openable = {};
        } else if (fault == "reads closed") {
            rig.comm.opensButReadsClosed = true;
        } else if (fault == "dtr") {
            rig.comm.failDtr = true;
        } else if (fault == "past") {
            rig.clock.set(QDateTime(QDate(2015, 10, 4), QTime(16, 5, 7)));
        } else if (fault == "1000 days") {
            rig.clock.set(QDateTime(QDate(2015, 10, 4), QTime(16, 5, 6)).addDays(-1000));
        } else if (fault == "clock steps back") {
            const QDateTime target(QDate(2015, 10, 4), QTime(16, 5, 6));
            const QDateTime pressed = target.addDays(-999).addSecs(-(23 * 3600 + 30 * 60));
            rig.clock.set(pressed.addMSecs(500));  // half a second to wait for the moment
            rig.pump.onPump = [&rig, pressed, stepped = false]() mutable {
                if (!std::exchange(stepped, true)) {
                    rig.clock.set(pressed.addSecs(-3600));
                }
            };
        } else if (fault == "no target") {
            rig.selectors.minute.setListPosition(-1);
        } else if (fault == "commport") {
            rig.comm.failSetCommPort = true;
        } else if (fault == "settings") {
            rig.comm.failSettings = true;
        } else if (fault == "busy read") {
            rig.comm.failPortOpenRead = true;
        }
        rig.sync.cmdSendClick();
        QCOMPARE(rig.comm.log, log);
        QCOMPARE(rig.messages.shown, std::vector<ShownMessage>{message});
        QVERIFY(rig.comm.sent.isEmpty());
        // Refused once the bar has stepped (after the wait), it is emptied again.
        const QStringList bar = fault == "clock steps back"
                                    ? QStringList{"Max=3", "Min=0", "Value=1", "Value=0"}
                                    : QStringList{};
        QCOMPARE(rig.progress.history, bar);
        rig.comm.failPortOpenRead = false;
        QVERIFY(!rig.comm.portOpen());
        QVERIFY(!rig.sync.inProgress());
    }

    void finalCloseFails()
    {
        Rig rig;
        rig.comm.failClose = true;
        rig.sync.cmdSendClick();
        QCOMPARE(rig.comm.sent.size(), 12);
        QCOMPARE(rig.messages.shown, std::vector<ShownMessage>{kPortInUse});
    }

    // The wake string or the frame not handed over whole, the device gone before they left, or a
    // queue that does not drain within two seconds: the user is told, nothing more is sent, and the
    // bar is emptied.
    void sendFails_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("message");
        const QByteArray all = QByteArray::fromHex("48656C6C64 06050401020300");
        QTest::newRow("wake string") << "text" << QByteArray() << "Send failed!";
        QTest::newRow("frame") << "bytes" << QByteArray("Helld") << "Send failed!";
        QTest::newRow("output count (the device has gone)") << "count" << all << "Send failed!";
        QTest::newRow("the queue never drains") << "stuck" << all << "Send timeout!";
    }

    void sendFails()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, sent);
        QFETCH(QString, message);
        Rig rig;
        rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 902)));  // sends at once
        rig.comm.failTextOutput = fault == "text";
        rig.comm.failByteOutput = fault == "bytes";
        rig.comm.failOutBufferCount = fault == "count";
        rig.comm.drainPerRead = fault == "stuck" ? 0 : 1000;
        const quint32 start = rig.ticks.now();
        rig.sync.cmdSendClick();
        QCOMPARE(rig.comm.sent, sent);
        QCOMPARE(rig.progress.history, (QStringList{"Max=3", "Min=0", "Value=1", "Value=0"}));
        QCOMPARE(rig.messages.shown, (std::vector<ShownMessage>{{message, "Error"}}));
        QCOMPARE(rig.comm.log.last(), QStringLiteral("PortOpen=false"));
        QCOMPARE(rig.ticks.now() - start > 2000, fault == "stuck");
        QVERIFY(rig.ticks.now() - start < 2100);
    }

    // The drain wait lasts while bytes are queued.
    void drainWait()
    {
        Rig rig;
        rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 902)));  // sends at once
        rig.comm.drainPerRead = 1;
        int pumpsAtDrainEnd = 0;
        rig.pump.onPump = [&] {
            if (pumpsAtDrainEnd == 0 && rig.comm.outBufferCount() == 0) {
                pumpsAtDrainEnd = rig.pump.pumps;
            }
        };
        rig.sync.cmdSendClick();
        QVERIFY(pumpsAtDrainEnd >= 6);  // 12 bytes, two leave per pass (one read here, one there)
        QCOMPARE(rig.progress.history, kSteppedBar);
    }

    // A second press while the sync waits gets "Sending!", touches nothing of the running sync, and
    // holds it until dismissed; the first sync then completes. Held past the moment to send, it
    // waits for the next one and counts to that second, so that the badge still reaches zero on
    // time.
    void secondPressDuringASync_data()
    {
        QTest::addColumn<QString>("during");  // the bar's stage when the second press comes
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("a pause") << "Value=2" << QByteArray::fromHex("06050401020300");
        QTest::newRow("the wait for the moment, held five seconds")
            << "Value=1" << QByteArray::fromHex("01050401020300");
    }

    void secondPressDuringASync()
    {
        QFETCH(QString, during);
        QFETCH(QByteArray, frame);
        Rig rig;
        rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 500)));  // 402 ms to wait
        qint64 sentAtMs = 0;
        rig.comm.onOutput = [&] { sentAtMs = sentAtMs ? sentAtMs : rig.clock.msecsSinceEpoch(); };
        int presses = 0;
        quint32 dismissedAt = 0;
        rig.pump.onPump = [&] {
            if (rig.progress.history.endsWith(during) && presses == 0) {
                ++presses;
                rig.sele.setText(QStringLiteral("COM7"));
                rig.messages.onShow = [&](const ShownMessage&) {
                    rig.ticks.advance(5000);  // the user reads it for five seconds
                    dismissedAt = rig.ticks.now();
                };
                rig.sync.cmdSendClick();
                QVERIFY(rig.sync.inProgress());
            }
        };
        rig.sync.cmdSendClick();
        QCOMPARE(rig.messages.shown, (std::vector<ShownMessage>{{"Sending!", "Waits"}}));
        QCOMPARE(rig.comm.log, QStringList(kFullSync).replaceInStrings(
                                   "06 05 04 01 02 03 00", QString::fromLatin1(frame.toHex(' '))));
        QCOMPARE(sentAtMs % 1000, 902);  // the last byte lands 2 ms after a whole second
        QCOMPARE(rig.progress.history, kSteppedBar);
        QVERIFY(rig.ticks.now() > dismissedAt);
        QVERIFY(!rig.sync.inProgress());
    }

    // Pressed at the target moment, the countdown is in range, but the frame lands in the second
    // after it: the frame carries zeros.
    void targetPassesDuringTheSync()
    {
        Rig rig;
        rig.clock.set(QDateTime(QDate(2015, 10, 4), QTime(16, 5, 6)));
        rig.sync.cmdSendClick();
        QCOMPARE(rig.comm.sent, QByteArray::fromHex("48656C6C64 00000000000000"));
        QVERIFY(rig.messages.shown.empty());
    }

    // The moment to send: the last byte lands just after a whole second, after a wait of under one.
    void sendMoment_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("lineMs");
        QTest::addColumn<int>("pressMs");  // past a whole second
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("landsIn");  // seconds after that whole second
        auto row = [](const char* name, const char* line, int lineMs, int pressMs, int waitMs,
                      int landsIn) {
            QTest::newRow(name) << QString::fromLatin1(line) << lineMs << pressMs << waitMs
                                << landsIn;
        };
        row("pressed on a whole second", "1200,n,8,1", 100, 0, 902, 1);
        row("just after a whole second", "1200,n,8,1", 100, 1, 901, 1);
        row("mid-second", "1200,n,8,1", 100, 500, 402, 1);
        row("just before the moment", "1200,n,8,1", 100, 901, 1, 1);
        row("on the moment", "1200,n,8,1", 100, 902, 0, 1);
        row("just after the moment: the next second", "1200,n,8,1", 100, 903, 999, 2);
        row("just before a whole second", "1200,n,8,1", 100, 999, 903, 2);
        row("a parity bit", "1200,e,8,1", 110, 0, 892, 1);
        row("a fast line", "9600,n,8,1", 13, 0, 989, 1);
        row("two stop bits, slow", "300,n,8,2", 440, 0, 562, 1);
        row("a line over a second long", "110,n,8,1", 1091, 0, 911, 2);
        row("unreadable settings count no line time", "fast", 0, 0, 2, 0);
    }

    void sendMoment()
    {
        QFETCH(QString, line);
        QFETCH(int, lineMs);
        QFETCH(int, pressMs);
        QFETCH(int, waitMs);
        QFETCH(int, landsIn);
        const qint64 second = QDateTime(QDate(2015, 6, 3), QTime(12, 0)).toSecsSinceEpoch();
        const qint64 pressedAt = second * 1000 + pressMs;
        const std::optional<LineSettings> settings = ParseLineSettings(line);
        QCOMPARE(settings ? SyncLineMs(*settings) : 0, lineMs);
        QCOMPARE(MsUntilSendMoment(pressedAt, lineMs), waitMs);
        QCOMPARE(LandingSecond(pressedAt + waitMs, lineMs), second + landsIn);
        QVERIFY2(LandingSecond(pressedAt + waitMs - 1, lineMs) == second + landsIn,
                 "a wait a millisecond short still lands in that second");
    }

    void waitMilliseconds_data()
    {
        QTest::addColumn<quint32>("start");
        QTest::addColumn<int>("ms");
        QTest::newRow("ordinary") << quint32(5000) << 100;
        QTest::newRow("across the wrap at 2^32") << quint32(0xFFFFFFC0) << 100;
        QTest::newRow("across 2^31") << quint32(0x7FFFFFC0) << 100;
        QTest::newRow("zero") << quint32(77) << 0;
    }

    void waitMilliseconds()
    {
        QFETCH(quint32, start);
        QFETCH(int, ms);
        Rig rig;
        rig.ticks = FakeTicks(start);
        quint32 lastPump = 0;
        rig.pump.onPump = [&] { lastPump = rig.ticks.now(); };
        rig.sync.WaitMilliseconds(ms);
        const quint32 elapsed = rig.ticks.now() - start;
        QVERIFY2(elapsed >= quint32(ms) + 1, "the wait ends only after more than ms have passed");
        QVERIFY2(elapsed <= quint32(ms) + 2, "and not much later");
        QCOMPARE(lastPump, rig.ticks.now());  // events are pumped once more after the last reading
    }

    void negativeWaitPumpsOnce()
    {
        Rig rig;
        rig.sync.WaitMilliseconds(-5);
        QCOMPARE(rig.pump.pumps, 1);
    }
};

QUENTERRA_TEST_MAIN(TestSync)
#include "tst_sync.moc"
