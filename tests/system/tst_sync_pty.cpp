// The sync through the real serial layer, over a real pseudo-terminal pair.

#include <QElapsedTimer>
#include <QTest>

#include "badge/BadgeSync.h"
#include "support/MasterReader.h"
#include "support/NotingComm.h"
#include "support/SyncRig.h"
#include "support/TestMain.h"
#include "system/QtEventPump.h"
#include "system/SystemTickCounter.h"

using namespace quenterra;
using namespace quenterra::test;
using namespace std::chrono_literals;

namespace {

PortMap comThreeIs(const QString& path)
{
    PortMap map;
    map.setDevice(3, {path, QString()});
    return map;
}

struct PtyHolder {
    PseudoTerminal pty;
};

// A sync over the real serial layer, COM3 standing for the slave of a pseudo-terminal.
struct Rig : PtyHolder, SyncRig<NotingComm, SystemTickCounter, QtEventPump> {
    Rig() : SyncRig(comThreeIs(pty.slavePath())) {}
};

}  // namespace

class TestSyncPty : public QObject {
    Q_OBJECT

private slots:
    void theOtherEndReceivesTheTwelveBytes()
    {
        Rig rig;
        QVERIFY(rig.pty.isValid());
        MasterReader reader(rig.pty.master());
        rig.sync.cmdSendClick();

        QVERIFY(rig.messages.shown.empty());
        QVERIFY(!rig.comm.portOpen());
        QTRY_VERIFY(reader.closedAfterBytes());
        QCOMPARE(reader.received(), QByteArray::fromHex("48656C6C64 06050401020300"));
        QVERIFY2(reader.closedAt() >= reader.lastByteAt(), "closed only after every byte arrived");
        QVERIFY2(rig.comm.closedAt - rig.comm.drainedAt >= 202ms,
                 "the port stays open for both pauses after the bytes have left");
    }

    void twoSyncsInARow()
    {
        Rig rig;
        MasterReader reader(rig.pty.master());
        rig.sync.cmdSendClick();
        rig.clock.advance(1);
        rig.sync.cmdSendClick();
        QVERIFY(rig.messages.shown.empty());
        QTRY_COMPARE(reader.received(),
                     QByteArray::fromHex("48656C6C64 06050401020300 48656C6C64 05050401020300"));
    }

    // The line goes away in the middle of a sync (the far end closes, as when a USB adapter is
    // pulled): the sync ends without hanging, the port is closed, and the next sync starts afresh.
    void theOtherEndClosesDuringASync()
    {
        Rig rig;
        rig.comm.afterWake = [&] { rig.pty.closeMaster(); };
        QElapsedTimer timer;
        timer.start();
        rig.sync.cmdSendClick();
        QVERIFY2(timer.elapsed() < 10000, "the sync must not hang");
        QVERIFY(!rig.comm.portOpen());
        QCOMPARE(rig.progress.history.last(), QStringLiteral("Value=0"));
        QVERIFY2(rig.messages.shown.empty(), "the steps after the loss fail silently");

        rig.comm.afterWake = nullptr;
        rig.messages.shown.clear();
        rig.sync.cmdSendClick();  // the device is gone for good now
        QVERIFY(!rig.comm.portOpen());
        QCOMPARE(rig.messages.shown,
                 (std::vector<ShownMessage>{{"Port in use or not port", "Warning"}}));
    }
};

QUENTERRA_TEST_MAIN(TestSyncPty)
#include "tst_sync_pty.moc"
