// The serial devices the system lists, and the serial port over a real pseudo-terminal.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>

#include <algorithm>
#include <functional>

#include "badge/PortMap.h"
#include "pty/PseudoTerminal.h"
#include "support/Files.h"
#include "support/TestMain.h"
#include "system/serial/SerialDeviceList.h"
#include "system/serial/SystemSerialComm.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

using Kind = CommError::Kind;

// COM3 stands for the slave of a pseudo-terminal pair and is set to 1200,n,8,1. The test keeps the
// slave open too, to read its termios. Like another program, it can lock the slave; each hold
// notes how to see that it is still as it was.
struct Rig {
    PseudoTerminal pty;
    int master = pty.master();
    QString slavePath = pty.slavePath();
    int slave = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY);
    PortMap map = MapOf(slavePath);
    SystemSerialComm comm{map};

    Rig()
    {
        comm.setCommPort(3);
        comm.setSettings(QStringLiteral("1200,n,8,1"));
    }
    std::vector<std::function<bool()>> othersHolds;
    int otherHolder = -1;

    pid_t sessionLeader = -1;

    ~Rig()
    {
        if (sessionLeader > 0) {
            ::kill(sessionLeader, SIGKILL);
            ::waitpid(sessionLeader, nullptr, 0);
        }
        comm.setPortOpen(false);
        QFile::remove(lockFile());
        ::close(otherHolder);
        ::close(slave);
    }
    // Where minicom and Qt's serial port put the lock file of /dev/pts/N.
    QString lockFile() const { return "/var/lock/LCK.." + slavePath.mid(5).replace('/', '_'); }
    void lockAsAnotherProgram(const QByteArray& content)
    {
        QVERIFY(WriteFile(lockFile(), content));
        othersHolds.emplace_back([this, content] { return ReadFile(lockFile()) == content; });
    }
    bool slaveExclusive() const
    {
        int exclusive = 0;
        return ::ioctl(slave, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    }
    // Whether a new descriptor of the slave can take an flock on it.
    bool slaveLockable() const
    {
        const int fd = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY);
        const bool lockable = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return lockable;
    }
    static PortMap MapOf(const QString& path)
    {
        PortMap map;
        map.setDevice(3, {path, QString()});
        return map;
    }
    termios slaveTermios() const
    {
        termios settings{};
        ::tcgetattr(slave, &settings);
        return settings;
    }
    // Pumps events and reads the master until `count` bytes came and nothing waits to go out;
    // gives up after 5 s.
    QByteArray receive(qsizetype count)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while ((received.size() < count || comm.outBufferCount() > 0) && !clock.hasExpired(5000)) {
            QCoreApplication::processEvents();
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 10) > 0) {
                char buffer[256];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                received.append(buffer, n > 0 ? n : 0);
            }
        }
        return received;
    }
};

using Action = std::function<void(Rig&)>;

}  // namespace

Q_DECLARE_METATYPE(Action)

class TestSerialComm : public QObject {
    Q_OBJECT

private slots:
    // The system's own listing (read from /sys on Linux) gives the devices Qt's serial port info
    // gives, under the same names, described alike where both describe them (Qt asks udev, which
    // may not know a device's model).
    void listsAsQtDoes()
    {
        QList<SerialDevice> qt;
        const auto infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : infos) {
            qt.append({info.systemLocation(), info.description()});
        }
        QList<SerialDevice> listed = SystemSerialDevices();
        const auto byPath = [](const SerialDevice& a, const SerialDevice& b) {
            return a.path < b.path;
        };
        std::sort(qt.begin(), qt.end(), byPath);
        std::sort(listed.begin(), listed.end(), byPath);
        QCOMPARE(listed.size(), qt.size());
        for (qsizetype i = 0; i < listed.size(); ++i) {
            QCOMPARE(listed[i].path, qt[i].path);
            QVERIFY2(listed[i].description.isEmpty() || qt[i].description.isEmpty() ||
                         listed[i].description == qt[i].description,
                     qPrintable(listed[i].description + " / " + qt[i].description));
        }
    }

    // A pseudo-terminal keeps the speed, CSTOPB, PARODD and CMSPAR it is given, but always shows
    // CS8 and no PARENB.
    void opensWithLineSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("twoStop");
        QTest::addColumn<bool>("odd");
        QTest::addColumn<bool>("markOrSpace");
        QTest::newRow("1200,n,8,1") << "1200,n,8,1" << int(B1200) << false << false << false;
        QTest::newRow("2400,o,8,2") << "2400,o,8,2" << int(B2400) << true << true << false;
        QTest::newRow("4800,m,7,1") << "4800,m,7,1" << int(B4800) << false << true << true;
        QTest::newRow("19200,s,5,1.5") << "19200,s,5,1.5" << int(B19200) << true << false << true;
    }
    void opensWithLineSettings()
    {
        QFETCH(QString, settings);
        QFETCH(int, speed);
        QFETCH(bool, twoStop);
        QFETCH(bool, odd);
        QFETCH(bool, markOrSpace);
        Rig rig;
        rig.comm.setSettings(settings);
        rig.comm.setPortOpen(true);
        const termios line = rig.slaveTermios();
        QCOMPARE(int(cfgetospeed(&line)), speed);
        QCOMPARE(bool(line.c_cflag & CSTOPB), twoStop);
        QCOMPARE(bool(line.c_cflag & PARODD), odd);
        QCOMPARE(bool(line.c_cflag & CMSPAR), markOrSpace);
        QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(!(line.c_cflag & (PARENB | CRTSCTS)));
        QVERIFY(!(line.c_iflag & (IXON | IXOFF)));
        QVERIFY(!(line.c_oflag & OPOST));
        QVERIFY(!(line.c_lflag & (ICANON | ECHO)));

        rig.comm.setSettings(QStringLiteral("9600,n,8,2"));  // applies to the open port at once
        const termios changed = rig.slaveTermios();
        QCOMPARE(cfgetospeed(&changed), speed_t(B9600));
        QVERIFY(changed.c_cflag & CSTOPB);
    }

    void sendsBytesUnchanged()
    {
        Rig rig;
        for (int round = 0; round < 2; ++round) {
            rig.comm.setPortOpen(true);
            QVERIFY(rig.comm.portOpen());
            rig.comm.setDTREnable(true);
            rig.comm.output(QStringLiteral("Helld"));
            rig.comm.output(QByteArray("\x06\x05\x0A\x0D\x00\x03\xFF", 7));
            QCOMPARE(rig.receive(12), QByteArray("Helld\x06\x05\x0A\x0D\x00\x03\xFF", 12));
            QCOMPARE(rig.comm.outBufferCount(), 0);
            // More than the system's queue takes waits in the program, counted, and follows.
            const QByteArray block(1 << 17, char('a' + round));
            rig.comm.output(block);
            QVERIFY(rig.comm.outBufferCount() > 0);
            const QByteArray got = rig.receive(block.size());
            QCOMPARE(got.size(), block.size());
            QCOMPARE(got, block);
            rig.comm.setPortOpen(false);
            QVERIFY(!rig.comm.portOpen());
            rig.comm.setPortOpen(false);  // closing a closed port does nothing
        }
    }

    void refuses_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("mentions");
        const auto row = [](const char* name, Kind kind, bool open, const QString& mentions,
                            const Action& action) {
            QTest::newRow(name) << action << int(kind) << open << mentions;
        };
        row("unmapped number", Kind::NoSuchPort, false, "", [](Rig& r) {
            r.comm.setPortMap(PortMap());
            r.comm.setPortOpen(true);
        });
        row("unmapped number, opened for a look", Kind::NoSuchPort, false, "", [](Rig& r) {
            r.comm.setPortMap(PortMap());
            if (const std::optional<CommError> failure = r.comm.tryOpen()) {
                throw *failure;
            }
        });
        row("pinned path missing", Kind::NoSuchPort, false, "", [](Rig& r) {
            r.comm.setPortMap(Rig::MapOf(r.slavePath + "-gone"));
            r.comm.setPortOpen(true);
        });
        for (const char* device : {"/dev/null", "/dev/ptmx"}) {  // opening ptmx makes a terminal
            row(device, Kind::Device, false, "not a serial device", [device](Rig& r) {
                r.comm.setPortMap(Rig::MapOf(QString::fromLatin1(device)));
                r.comm.setPortOpen(true);
            });
        }
        row("held by another port", Kind::Busy, false, "", [](Rig& r) {
            SystemSerialComm other(r.map);
            other.setCommPort(3);
            other.setPortOpen(true);
            r.comm.setPortOpen(true);
        });
        // Other programs' holds: the device is in use, and their locks stay as they were.
        row("lock file of a live process, %10d", Kind::Busy, false, "process 1", [](Rig& r) {
            r.lockAsAnotherProgram("         1\n");
            r.comm.setPortOpen(true);
        });
        row("lock file in Qt's lines naming another program", Kind::Busy, false, "process 1",
            [](Rig& r) {
                r.lockAsAnotherProgram("1\n/usr/bin/other\nhost\n");
                r.comm.setPortOpen(true);
            });
        row("lock file naming no process", Kind::Busy, false, "names no process", [](Rig& r) {
            r.lockAsAnotherProgram("");
            r.comm.setPortOpen(true);
        });
        row("flock on the device", Kind::Busy, false,
            QStringLiteral("(process %1)").arg(::getpid()), [](Rig& r) {
                r.otherHolder =
                    ::open(QFile::encodeName(r.slavePath).constData(), O_RDWR | O_NOCTTY);
                QVERIFY(::flock(r.otherHolder, LOCK_EX | LOCK_NB) == 0);
                r.othersHolds.emplace_back([&r] { return !r.slaveLockable(); });
                r.comm.setPortOpen(true);
            });
        row("the terminal of another session", Kind::Busy, false, "the terminal of", [](Rig& r) {
            int ready[2];
            QVERIFY(::pipe(ready) == 0);
            const QByteArray path = QFile::encodeName(r.slavePath);
            if ((r.sessionLeader = ::fork()) == 0) {
                ::setsid();
                ::ioctl(::open(path.constData(), O_RDWR | O_NOCTTY), TIOCSCTTY, 0);
                ::_exit(::close(ready[1]) + ::pause());
            }
            ::close(ready[1]);
            char none = 0;
            QCOMPARE(::read(ready[0], &none, 1), 0);  // the pipe's end: the child has its terminal
            ::close(ready[0]);
            r.comm.setPortOpen(true);
        });
        row("exclusive flag of another program", Kind::Busy, false, "exclusive use", [](Rig& r) {
            QVERIFY(::ioctl(r.slave, TIOCEXCL) == 0);
            r.othersHolds.emplace_back([&r] { return r.slaveExclusive(); });
            r.comm.setPortOpen(true);
        });
        row("port 0", Kind::InvalidValue, false, "", [](Rig& r) { r.comm.setCommPort(0); });
        row("port 33", Kind::InvalidValue, false, "", [](Rig& r) { r.comm.setCommPort(33); });
        row("bad settings", Kind::InvalidValue, false, "",
            [](Rig& r) { r.comm.setSettings("1200,n,9,1"); });
        row("port change while open", Kind::InvalidValue, true, "", [](Rig& r) {
            r.comm.setPortOpen(true);
            r.comm.setCommPort(4);
        });
        row("open twice", Kind::InvalidValue, true, "", [](Rig& r) {
            r.comm.setPortOpen(true);
            r.comm.setPortOpen(true);
        });
        row("text while closed", Kind::NotOpen, false, "",
            [](Rig& r) { r.comm.output(QString("x")); });
        row("bytes while closed", Kind::NotOpen, false, "",
            [](Rig& r) { r.comm.output(QByteArray("x")); });
        row("count while closed", Kind::NotOpen, false, "",
            [](Rig& r) { r.comm.outBufferCount(); });
    }
    void refuses()
    {
        QFETCH(Action, action);
        QFETCH(int, kind);
        QFETCH(bool, open);
        QFETCH(QString, mentions);
        Rig rig;
        try {
            action(rig);
            QFAIL("no CommError");
        } catch (const CommError& error) {
            QCOMPARE(int(error.kind()), kind);
            QVERIFY(!error.message().isEmpty());
            QVERIFY2(error.message().contains(mentions), qPrintable(error.message()));
        }
        QCOMPARE(rig.comm.portOpen(), open);
        for (const auto& stillAsItWas : rig.othersHolds) {
            QVERIFY(stillAsItWas());
        }
        QCOMPARE(rig.comm.settings(), QStringLiteral("1200,n,8,1"));
        QCOMPARE(rig.comm.commPort(), 3);
    }

    // A lock file whose process has gone is removed; while open the port holds the device by lock
    // file and flock, and lets both go when it closes. Never by the exclusive flag, which would
    // outlive a program ended by a signal, or a device hung up.
    void holdsTheDeviceWhileOpen()
    {
        Rig rig;
        QVERIFY(WriteFile(rig.lockFile(), "  99999999\n"));  // above any pid the system gives
        rig.comm.setPortOpen(true);

        QCOMPARE(ReadFile(rig.lockFile()).split('\n').first(), QByteArray::number(::getpid()));
        QVERIFY(!rig.slaveExclusive());
        QVERIFY(!rig.slaveLockable());

        rig.comm.setPortOpen(false);
        QVERIFY(!QFile::exists(rig.lockFile()));
        QVERIFY(rig.slaveLockable());
    }
};

QUENTERRA_TEST_MAIN(TestSerialComm)
#include "tst_serialcomm.moc"
