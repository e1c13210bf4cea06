// The bytes of one sync: the wake string and the 7-byte sync frame.

#include <QTest>

#include "badge/SyncFrame.h"
#include "support/TestMain.h"

using namespace quenterra;

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void transmission_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QString>("brightness");
        QTest::addColumn<QByteArray>("line");

        auto row = [](const char* name, int remaining, const char* brightness, const char* hex) {
            QTest::newRow(name) << remaining << QString::fromLatin1(brightness)
                                << QByteArray::fromHex(hex);
        };
        row("123 days 04:05:06", 10641906, "4", "48656C6C64 06 05 04 01 02 03 00");
        row("987 days 23:59:58", 85363198, "1", "48656C6C64 58 59 23 09 08 07 03");
        row("the largest", 86399999, "2", "48656C6C64 59 59 23 09 09 09 02");
        row("0 days 10:10:10", 36610, "3", "48656C6C64 10 10 10 00 00 00 01");
        row("zero", 0, "3", "48656C6C64 00 00 00 00 00 00 01");
        row("59 seconds is BCD, not binary", 59, "4", "48656C6C64 59 00 00 00 00 00 00");
        row("10 days", 864000, "4", "48656C6C64 00 00 00 00 01 00 00");
        row("100 days", 8640000, "4", "48656C6C64 00 00 00 01 00 00 00");
        row("one second past", -1, "4", "48656C6C64 00 00 00 00 00 00 00");
        row("a day and a second past", -86401, "1", "48656C6C64 00 00 00 00 00 00 03");
        row("most negative", std::numeric_limits<qint32>::min(), "2",
            "48656C6C64 00 00 00 00 00 00 02");
        row("1000 days: hundreds digit 10, unchecked", 86400000, "4",
            "48656C6C64 00 00 00 0A 00 00 00");
        row("largest 32-bit value", std::numeric_limits<qint32>::max(), "4",
            "48656C6C64 07 14 03 F8 05 05 00");
    }

    void transmission()
    {
        QFETCH(int, remaining);
        QFETCH(QString, brightness);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray(kWakeString.data(), kWakeString.size()) +
                     FrameBytes(BuildSyncFrame(remaining, brightness)),
                 line);
    }

    void brightnessCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        const std::pair<const char*, int> rows[] = {
            {"1", 3},   {"2", 2},   {"3", 1},  {"4", 0},              // the list
            {"5", 3},   {"6", 2},   {"7", 1},  {"8", 0},   {"0", 0},  // levels wrap around
            {"255", 1}, {" 4", 0},  {"+1", 3}, {"", 0},    {"x", 0},
            {"-1", 0},  {"256", 0}, {"4x", 0}, {"1.5", 0},  // not stored
        };
        for (const auto& [text, code] : rows) {
            QTest::newRow(qPrintable(QStringLiteral("\"%1\"").arg(QLatin1String(text))))
                << QString::fromLatin1(text) << code;
        }
    }

    void brightnessCodes()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QCOMPARE(int(BuildSyncFrame(88215, text)[frame::kBrightness]), code);
    }
};

QUENTERRA_TEST_MAIN(TestFrame)
#include "tst_frame.moc"
