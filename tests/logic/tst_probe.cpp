// The port probe at start-up: which ports are listed, and which one is chosen.

#include <QTest>

#include "badge/PortSelection.h"
#include "badge/PortTooltip.h"
#include "support/FakeSerialComm.h"
#include "support/Fakes.h"
#include "support/TestMain.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

QStringList itemsOf(const Selector& selector)
{
    QStringList items;
    for (int i = 0; i < selector.count(); ++i) {
        items << selector.item(i);
    }
    return items;
}

}  // namespace

class TestProbe : public QObject {
    Q_OBJECT

private slots:
    void choices_data()
    {
        QTest::addColumn<QList<int>>("opening");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("none") << QList<int>{} << QStringList{} << "";
        QTest::newRow("only COM1") << QList<int>{1} << QStringList{"COM1"} << "COM1";
        QTest::newRow("COM1 and COM2: the first")
            << QList<int>{1, 2} << QStringList{"COM1", "COM2"} << "COM1";
        QTest::newRow("only COM2") << QList<int>{2} << QStringList{"COM2"} << "COM2";
        QTest::newRow("COM1 and COM3: the highest")
            << QList<int>{1, 3} << QStringList{"COM1", "COM3"} << "COM3";
        QTest::newRow("probe order, not text order")
            << QList<int>{12, 1, 3} << QStringList{"COM1", "COM3", "COM12"} << "COM12";
        QTest::newRow("only COM3") << QList<int>{3} << QStringList{"COM3"} << "COM3";
        QTest::newRow("COM32") << QList<int>{2, 32} << QStringList{"COM2", "COM32"} << "COM32";
    }

    void choices()
    {
        QFETCH(QList<int>, opening);
        QFETCH(QStringList, listed);
        QFETCH(QString, chosen);
        FakeSerialComm comm;
        comm.openable = std::set<int>(opening.begin(), opening.end());
        FakeSelector comSele(QStringList{"COM1", "COM2", "COM8"}, QStringLiteral("COM1"));

        const auto outcomes = ProbePorts(comm, comSele);

        QCOMPARE(itemsOf(comSele), listed);
        QCOMPARE(comSele.text(), chosen);
        QVERIFY(!comm.portOpen());
        QCOMPARE(int(outcomes.size()), 32);
        for (const ProbeOutcome& outcome : outcomes) {
            QCOMPARE(outcome.opened, opening.contains(outcome.number));
            QCOMPARE(outcome.failure.isEmpty(), outcome.opened);
        }
        // Every port that opened was closed again, right after.
        QCOMPARE(comm.log.count(QStringLiteral("PortOpen=true")), opening.size());
        QCOMPARE(comm.log.count(QStringLiteral("PortOpen=false")), opening.size());
    }

    // A port whose open state cannot be read after it opened is closed anyway, so that the ports
    // after it can still be probed and "Sync" does not find the port busy.
    void failureAfterOpeningClosesThePort()
    {
        FakeSerialComm comm;
        comm.openable = {1, 2, 5};
        comm.failOpenReadOnceOn = 2;
        FakeSelector comSele;
        const auto outcomes = ProbePorts(comm, comSele);
        QCOMPARE(itemsOf(comSele), (QStringList{"COM1", "COM5"}));
        QCOMPARE(comSele.text(), QStringLiteral("COM5"));
        QVERIFY(!comm.portOpen());
        QCOMPARE(outcomes[1].failure, QStringLiteral("cannot read"));
    }

    // The tooltip names the device behind each listed number, and each device that could not be
    // opened or got no number, with the reason.
    void tooltip()
    {
        PortMap map;
        map.setDevice(1, {QStringLiteral("/dev/ttyS1"), QString()});
        map.setDevice(3, {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("USB2.0-Serial")});
        map.setDevice(4, {QStringLiteral("/dev/ttyACM0"), QStringLiteral("Pico")});
        map.addUnnumbered({{QStringLiteral("/dev/ttyS0"), QString()},
                           QStringLiteral("it is the system console")});
        std::vector<ProbeOutcome> outcomes;
        for (int n = 1; n <= 32; ++n) {
            outcomes.push_back(
                {n, n == 1 || n == 3, n == 1 || n == 3 ? QString() : QStringLiteral("gone")});
        }
        outcomes[3].failure =
            QStringLiteral("Permission denied. Add yourself to the group dialout.");
        QCOMPARE(PortTooltip(map, outcomes),
                 QStringLiteral("COM1: /dev/ttyS1\n"
                                "COM3: /dev/ttyUSB0, USB2.0-Serial\n"
                                "COM4: /dev/ttyACM0, Pico could not be opened: Permission denied. "
                                "Add yourself to the group dialout.\n"
                                "/dev/ttyS0 has no port number: it is the system console"));
    }

    // Told from the start: no port opened, and one was refused for lack of permission.
    void advice()
    {
        FakeSerialComm comm;
        comm.openable = {4};
        comm.refused = {3, 5};
        FakeSelector comSele;
        QCOMPARE(PortAdvice(ProbePorts(comm, comSele)), QString());
        comm.openable = {};
        QCOMPARE(PortAdvice(ProbePorts(comm, comSele)), QStringLiteral("COM3 is refused"));
    }

    void tooltipWithoutDevices()
    {
        // Ports that stand for no device are not named one by one.
        const std::vector<ProbeOutcome> none(32,
                                             {1, false, QStringLiteral("stands for no device")});
        QVERIFY(PortTooltip(PortMap(), none).startsWith(QStringLiteral("No serial port found.")));
    }
};

QUENTERRA_TEST_MAIN(TestProbe)
#include "tst_probe.moc"
