// The port numbers the devices get, and the line settings the serial component takes.

#include <QTest>

#include "badge/LineSettings.h"
#include "badge/PortMap.h"
#include "support/TestMain.h"

using namespace quenterra;

namespace {

using Pins = QMap<int, QString>;
using Parsed = std::optional<LineSettings>;

QList<SerialDevice> Listed(const QStringList& paths)
{
    QList<SerialDevice> devices;
    for (const QString& path : paths) {
        devices.append({path, "about " + path});
    }
    return devices;
}

// "3=/dev/ttyUSB0" for each number in order, then "-/dev/ttyS0" for each unnumbered device.
QStringList Describe(const PortMap& map)
{
    QStringList entries;
    for (const NumberedDevice& entry : map.numbered()) {
        entries << QStringLiteral("%1=%2").arg(entry.number).arg(entry.device.path);
    }
    for (const UnnumberedDevice& entry : map.unnumbered()) {
        entries << "-" + entry.device.path;
    }
    return entries;
}

}  // namespace

Q_DECLARE_METATYPE(Parsed)

class TestPortMap : public QObject {
    Q_OBJECT

private slots:
    void numbersDevices_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<Pins>("pins");
        QTest::addColumn<QStringList>("console");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("a UART and an adapter: the adapter is COM3")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyS0"} << Pins{} << QStringList{}
            << QStringList{"1=/dev/ttyS0", "3=/dev/ttyUSB0"};
        QTest::newRow("UARTs by their numbers, others by name from COM3")
            << QStringList{"/dev/ttyUSB1", "/dev/ttyS10", "/dev/ttyACM0",  "/dev/ttyS2",
                           "/dev/ttyS31",  "/dev/ttyS32", "/dev/ttyUSB10", "/dev/ttyUSB2"}
            << Pins{} << QStringList{}
            << QStringList{"3=/dev/ttyS2",    "4=/dev/ttyACM0", "5=/dev/ttyUSB1", "6=/dev/ttyUSB2",
                           "7=/dev/ttyUSB10", "11=/dev/ttyS10", "32=/dev/ttyS31", "-/dev/ttyS32"};
        QTest::newRow("console unnumbered")
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"} << Pins{}
            << QStringList{"tty0", "ttyS0"}
            << QStringList{"2=/dev/ttyS1", "3=/dev/ttyUSB0", "-/dev/ttyS0"};
        QTest::newRow("pins keep their numbers, listed or not")
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyUSB1"}
            << Pins{{1, "/dev/pts/5"}, {3, "/dev/ttyUSB1"}, {0, "/dev/x"}, {33, "/dev/y"}}
            << QStringList{}
            << QStringList{"1=/dev/pts/5", "2=/dev/ttyS1", "3=/dev/ttyUSB1", "4=/dev/ttyUSB0",
                           "-/dev/ttyS0"};

        QStringList many;
        QStringList expected;
        for (int i = 0; i < 34; ++i) {
            many << QStringLiteral("/dev/ttyUSB%1").arg(i);
            const int number = i < 2 ? i + 3 : i + 4;  // from COM3; COM5 is pinned
            expected << (number <= 32 ? QStringLiteral("%1=").arg(number) : "-") + many.last();
        }
        expected.insert(2, "5=/dev/pinned");
        QTest::newRow("no number left")
            << many << Pins{{5, "/dev/pinned"}} << QStringList{} << expected;
    }
    void numbersDevices()
    {
        QFETCH(QStringList, listed);
        QFETCH(Pins, pins);
        QFETCH(QStringList, console);
        QFETCH(QStringList, expected);
        const auto asListed = [](const QString& path) { return path; };
        QCOMPARE(Describe(AssignPortNumbers(Listed(listed), pins, console, asListed)), expected);
    }

    // A pin through another name of a listed device (a link in /dev/serial/by-id) numbers it once.
    void pinThroughALinkIsNotNumberedTwice()
    {
        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00");
        const auto realPath = [&byId](const QString& path) {
            return path == byId ? QStringLiteral("/dev/ttyUSB0") : path;
        };
        const PortMap map =
            AssignPortNumbers(Listed({"/dev/ttyUSB0", "/dev/ttyUSB1"}), {{7, byId}}, {}, realPath);
        QCOMPARE(Describe(map), (QStringList{"3=/dev/ttyUSB1", "7=" + byId}));
        QCOMPARE(map.device(7)->description, QStringLiteral("about /dev/ttyUSB0"));
    }

    void numbersWindowsPorts()
    {
        const QList<SerialDevice> listed{{"COM3", "USB Serial"}, {"COM4", "Modem"}, {"COM40", ""}};
        const PortMap map = WindowsPortNumbers(listed, {{4, R"(\\.\COM12)"}});
        QCOMPARE(map.numbered().size(), 32);
        QCOMPARE(*map.device(1), (SerialDevice{"COM1", ""}));
        QCOMPARE(*map.device(3), (SerialDevice{"COM3", "USB Serial"}));
        QCOMPARE(*map.device(4), (SerialDevice{"\\\\.\\COM12", ""}));
        QCOMPARE(Describe(map).mid(32), (QStringList{"-COM4", "-COM40"}));
    }

    void parsesLineSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Parsed>("expected");
        using S = LineSettings;
        const auto accept = [](const char* text, LineSettings settings) {
            QTest::addRow("accepts '%s'", text) << QString(text) << Parsed(settings);
        };
        accept("1200,n,8,1", {1200, S::NoParity, S::Data8, S::OneStop});
        accept("9600,E,7,2", {9600, S::EvenParity, S::Data7, S::TwoStop});
        accept(" 19200 , o , 5 , 1.5 ", {19200, S::OddParity, S::Data5, S::OneAndHalfStop});
        accept("300,M,6,1", {300, S::MarkParity, S::Data6, S::OneStop});
        accept("0110,s,8,2", {110, S::SpaceParity, S::Data8, S::TwoStop});
        for (const char* text : {"", "1200,n,8", "1200,n,8,1,", "0,n,8,1", "-1200,n,8,1",
                                 "+1200,n,8,1", "12k,n,8,1", "1200.0,n,8,1", "99999999999,n,8,1",
                                 ",n,8,1", "1200,x,8,1", "1200,no,8,1", "1200,,8,1", "1200,n,4,1",
                                 "1200,n,9,1", "1200,n,8,0", "1200,n,8,1.0", "1200,n,8,3"}) {
            QTest::addRow("refuses '%s'", text) << QString(text) << Parsed();
        }
    }
    void parsesLineSettings()
    {
        QFETCH(QString, text);
        QFETCH(Parsed, expected);
        QCOMPARE(ParseLineSettings(text), expected);
    }
};

QUENTERRA_TEST_MAIN(TestPortMap)
#include "tst_portmap.moc"
