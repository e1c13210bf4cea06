// The window's life: the start-up order, the save at every unload, and a close during a sync.

#include <QComboBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <csignal>

#include "support/Files.h"
#include "support/FormRig.h"
#include "support/TestMain.h"
#include "system/session/CloseRequests.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

// 2015-10-04 16:05:06 is 123 days 04:05:06 after the rig's clock, 2015-06-03 12:00.
const QByteArray kTargetFile =
    "[Target Date]\nYear=2015\nMonth=10\nDay=4\n[Target Time]\nHour=16\nMinute=5\nSecond=6\n"
    "[ShowBright]\nBrightValue=4\n[Ports]\nCOM3=/dev/pts/77\n";

const QDateTime kNow(QDate(2015, 6, 3), QTime(12, 0));

// Asks the window to close: "Exit", or signals as the session or a terminal sends them ("SIGINT
// twice"); or "end now", as the program does when it ends without a close.
void closeAs(FormRig& rig, const QString& how)
{
    if (how == "Exit") {
        QTest::mouseClick(rig.control("CmdExit"), Qt::LeftButton);
    } else if (how == "end now") {
        rig.form.endNow();
    } else {
        const QMap<QString, int> numbers{{"SIGTERM", SIGTERM},
                                         {"SIGINT", SIGINT},
#ifdef SIGHUP  // not on Windows, whose rows have no signals
                                         {"SIGHUP", SIGHUP}
#endif
        };
        for (int i = how.endsWith("twice") ? 2 : 1; i > 0; --i) {
            std::raise(numbers.value(how.section(u' ', 0, 0)));
        }
    }
}

}  // namespace

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    // Settings, then the first countdown (and its message), then the port probe.
    void startUpOrder()
    {
        FormRig rig(kNow);
        int probedBeforeMessage = -1;
        rig.messages.onShow = [&](const ShownMessage&) {
            probedBeforeMessage = static_cast<int>(rig.comm.log.size());
        };
        rig.form.load();
        QCOMPARE(probedBeforeMessage, 0);
        QCOMPARE(rig.control<QComboBox>("ComSele")->currentText(), QStringLiteral("COM3"));
        QCOMPARE(rig.control<QComboBox>("ComSele")->count(), 3);
        QCOMPARE(rig.control<QComboBox>("ComYear")->currentText(), QStringLiteral("2012"));
        QCOMPARE(rig.control<QComboBox>("ComMonth")->currentText(), QStringLiteral("12"));
    }

    // The sync pressed with the keyboard (focus starts on "Sync"), seen from the window.
    void syncFromTheKeyboard()
    {
        FormRig rig(kNow);
        QVERIFY(WriteFile(rig.settingsPath(), kTargetFile));
        rig.form.load();
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.form));
        rig.clock.set(kNow.addMSecs(-200));  // the bytes land in the second of 12:00
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(rig.comm.sent, QByteArray::fromHex("48656C6C64 06050401020300"));
        QCOMPARE(rig.comm.log.last(), QStringLiteral("PortOpen=false"));
        auto* bar = rig.control<QProgressBar>("ProgressBar1");
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 3);
        QVERIFY(rig.messages.shown.empty());
    }

    // "Exit" or a signal from the session or the terminal while the sync waits for its moment: the
    // sync runs to its end and closes the port, then the window unloads and saves, and not before.
    // Asked twice, the sync ends at once, sending nothing, and the port is closed all the same. So
    // it does when the process ends now, and the settings are saved, the window left for the
    // process's end to take.
    void closeDuringASync_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("sent");
        QTest::newRow("Exit") << "Exit" << 12;
        QTest::newRow("end now") << "end now" << 0;
#ifdef Q_OS_UNIX
        QTest::newRow("SIGTERM") << "SIGTERM" << 12;
        QTest::newRow("SIGHUP") << "SIGHUP" << 12;
        QTest::newRow("SIGINT twice") << "SIGINT twice" << 0;
#endif
    }

    void closeDuringASync()
    {
        QFETCH(QString, how);
        QFETCH(int, sent);
        FormRig rig(kNow);
        const CloseRequests requests([&rig](int count) { rig.form.requestClose(count > 1); });
        // Without the brightness, which the save adds.
        const QByteArray loaded = QByteArray(kTargetFile).replace("BrightValue=4\n", "");
        QVERIFY(WriteFile(rig.settingsPath(), loaded));
        rig.form.load();
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
        bool openWhenClosed = false;
        QTimer::singleShot(50, &rig.form, [&] {
            openWhenClosed = rig.comm.portOpen();
            closeAs(rig, how);
            QVERIFY(rig.form.isVisible());
            QCOMPARE(rig.comm.portOpen(), how != "end now");  // closed at once only to end now
            QCOMPARE(ReadFile(rig.settingsPath()), how == "end now" ? kTargetFile : loaded);
        });
        QTest::mouseClick(rig.control("CmdSend"), Qt::LeftButton);
        QVERIFY(openWhenClosed);
        QCOMPARE(rig.form.isVisible(), how == "end now");
        QCOMPARE(rig.comm.log.last(), QStringLiteral("PortOpen=false"));
        QCOMPARE(rig.comm.sent.size(), sent);
        QCOMPARE(rig.control<QProgressBar>("ProgressBar1")->value(), 0);
        QCOMPARE(ReadFile(rig.settingsPath()), kTargetFile);
    }
};

QUENTERRA_TEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
