// The sync through the real serial layer, over a real pseudo-terminal pair.

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "badge/BadgeSync.h"
#include "badge/PortSelection.h"
#include "pty/PseudoTerminal.h"
#include "support/NotingComm.h"
#include "support/SyncRig.h"
#include "support/TestMain.h"
#include "system/session/CloseRequests.h"
#include "system/session/QtEventPump.h"
#include "system/session/SystemTickCounter.h"

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

// The device as another program sees it through a descriptor of its own: line settings, the
// exclusive flag, the modem lines (or why there are none), and whether it can lock it.
QString DeviceState(const QString& path, bool lock = true)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return QStringLiteral("cannot be opened: %1").arg(qt_error_string(errno));
    }
    termios line{};
    ::tcgetattr(fd, &line);
    int exclusive = -1;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    int modem = 0;
    const QString modemLines = ::ioctl(fd, TIOCMGET, &modem) == 0
                                   ? QString::number(modem, 16)
                                   : QStringLiteral("none (%1)").arg(qt_error_string(errno));
    const bool lockable = !lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return QStringLiteral("speed %1, flags %2 %3 %4 %5, exclusive %6, modem lines %7, lockable %8")
        .arg(cfgetospeed(&line))
        .arg(line.c_iflag, 0, 16)
        .arg(line.c_oflag, 0, 16)
        .arg(line.c_cflag, 0, 16)
        .arg(line.c_lflag, 0, 16)
        .arg(exclusive)
        .arg(modemLines)
        .arg(lockable);
}

// All the far end can read, until nothing more comes for a while.
QByteArray ReadAll(int master)
{
    QByteArray bytes;
    char buffer[4096];
    pollfd ready{master, POLLIN, 0};
    ssize_t count = 0;
    while (::poll(&ready, 1, 200) > 0 && (count = ::read(master, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, count);
    }
    return bytes;
}

// Fills the device's queue through fd (non-blocking) as far as it takes bytes, even after a while.
QByteArray Fill(int fd)
{
    QByteArray queued;
    for (int refused = 0; refused < 2; ::poll(nullptr, 0, refused * 200)) {
        const ssize_t count = ::write(fd, QByteArray(4096, 'o').constData(), 4096);
        refused = count > 0 ? 0 : refused + 1;
        queued += QByteArray(std::max<ssize_t>(count, 0), 'o');
    }
    return queued;
}

// The write calls this process has made (Linux); -1 where the system does not tell.
qint64 WriteCalls()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("syscw:")) {
            return line.mid(6).trimmed().toLongLong();
        }
    }
    return -1;
}

}  // namespace

class TestSyncPty : public QObject {
    Q_OBJECT

private slots:
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
        QCOMPARE(rig.messages.shown, (std::vector<ShownMessage>{{"Send failed!", "Error"}}));

        rig.comm.afterWake = nullptr;
        rig.messages.shown.clear();
        rig.sync.cmdSendClick();  // the device is gone for good now
        QVERIFY(!rig.comm.portOpen());
        QCOMPARE(rig.messages.shown,
                 (std::vector<ShownMessage>{{"Port in use or not port", "Warning"}}));
    }

    // Another program has the device at 9600 baud, two stop bits, and has queued bytes on it
    // without taking a lock. Whatever this program does, the device is left as it was, or as the
    // other program set it since: its line settings, the exclusive flag, the modem lines, the lock,
    // the other program's bytes, followed by the sync's own, if any; and the next sync works.
    void leavesTheDeviceAsItWas_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("message");
        const QByteArray sync = QByteArray::fromHex("48656C6C64 06050401020300");
        QTest::newRow("the port probe") << "probe" << QByteArray() << "";
        QTest::newRow("a sync") << "sync" << sync << "";
        QTest::newRow("two signals while the sync waits") << "signals" << QByteArray() << "";
        QTest::newRow("a hang-up after the wake string")
            << "hang-up" << QByteArray() << "Send failed!";
        QTest::newRow("their bytes fill the queue") << "full" << QByteArray() << "Send timeout!";
        QTest::newRow("they set 4800 baud during the sync") << "4800" << sync << "";
        QTest::newRow("exit() while the sync waits") << "exit()" << QByteArray() << "";
        QTest::newRow("a fatal message while the sync waits") << "fatal" << QByteArray() << "";
        QTest::newRow("SIGUSR1 while the sync waits") << "SIGUSR1" << QByteArray() << "";
    }

    void leavesTheDeviceAsItWas()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, sent);
        QFETCH(QString, message);
        Rig rig;
        const QString path = rig.pty.slavePath();
        const int other =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        termios line{};
        QCOMPARE(::tcgetattr(other, &line), 0);
        ::cfsetspeed(&line, B9600);
        line.c_cflag |= CSTOPB;
        QCOMPARE(::tcsetattr(other, TCSANOW, &line), 0);
        QByteArray theirs(4096, 'o');
        QCOMPARE(::write(other, theirs.constData(), theirs.size()), theirs.size());
        QString expected = DeviceState(path);

        qint64 writesAtHangUp = 0;
        if (action == "probe") {
            ProbePorts(rig.comm, rig.sele);
            QCOMPARE(rig.sele.text(), QStringLiteral("COM3"));
        } else if (action == "signals") {
            // The program's answer to a second request to close: the sync ends at once.
            CloseRequests requests([&rig](int count) {
                if (count > 1) {
                    rig.sync.abandon();
                }
            });
            rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 500)));  // 402 ms wait
            ::raise(SIGTERM);
            ::raise(SIGINT);
            rig.sync.cmdSendClick();
        } else if (action == "exit()" || action == "fatal" || action == "SIGUSR1") {
            // The process ends in the sync's wait: a child of the test's, which closes the port on
            // its way out as the program does. (A fatal message ends it before Qt aborts it.)
            std::fflush(nullptr);
            if (::fork() == 0) {
                qInstallMessageHandler(
                    [](QtMsgType type, const QMessageLogContext&, const QString&) {
                        type == QtFatalMsg ? ::_exit(4) : void();
                    });
                CloseRequests::watchFatalMessages();
                CloseRequests requests([](int) {}, [&rig] { rig.comm.setPortOpen(false); });
                rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 500)));
                QTimer::singleShot(0, [&action] {
                    action == "exit()"  ? std::exit(3)
                    : action == "fatal" ? qFatal("a fatal message, as the test asks")
                                        : void(::raise(SIGUSR1));
                });
                rig.sync.cmdSendClick();
                ::_exit(0);
            }
            int status = 0;
            ::wait(&status);
            // Ended by its ending (exit(3), a fatal message's 4, SIGUSR1), not by a fault.
            QVERIFY(status != 0 && (WIFEXITED(status) || WTERMSIG(status) == SIGUSR1));
        } else {
            if (action == "full") {
                // They fill the queue once this program has set the line, while it waits to send.
                rig.clock.set(QDateTime(QDate(2015, 6, 3), QTime(11, 59, 59, 500)));
                QTimer::singleShot(0, [&] { theirs += Fill(other); });
            } else if (action == "4800") {
                rig.comm.afterWake = [&] {
                    ::cfsetspeed(&line, B4800);
                    ::tcsetattr(other, TCSANOW, &line);
                    expected = DeviceState(path, false);
                };
            } else if (action == "hang-up") {
                rig.comm.afterWake = [&] {
                    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
                    const bool hungUp = ::ioctl(fd, TIOCVHANGUP) == 0;
                    ::close(fd);
                    if (!hungUp) {
                        return;
                    }
                    writesAtHangUp = WriteCalls();
                    // The hang-up resets the line itself; this program still has the device locked.
                    expected = DeviceState(path, false);
                };
            }
            rig.sync.cmdSendClick();
            if (action == "hang-up") {
                if (writesAtHangUp == 0) {
                    QSKIP("only root may hang a device up");
                }
                QVERIFY2(WriteCalls() - writesAtHangUp < 10, "no write is tried again and again");
            }
        }
        QVERIFY(!rig.comm.portOpen());
        QCOMPARE(rig.messages.shown.empty() ? QString() : rig.messages.shown.front().text, message);
        QVERIFY2(action != "sync" || rig.comm.closedAt - rig.comm.drainedAt >= 202ms,
                 "the port stays open for both pauses after the bytes have left");
        QCOMPARE(DeviceState(path), expected);
        if (action != "hang-up") {  // a hang-up drops what was queued
            QCOMPARE(ReadAll(rig.pty.master()), theirs + sent);
        }

        ReadAll(rig.pty.master());
        rig.comm.afterWake = nullptr;
        rig.messages.shown.clear();
        rig.sync.cmdSendClick();
        QVERIFY(rig.messages.shown.empty());
        QCOMPARE(ReadAll(rig.pty.master()).left(5), QByteArray("Helld"));
        ::close(other);
    }
};

QUENTERRA_TEST_MAIN(TestSyncPty)
#include "tst_sync_pty.moc"
