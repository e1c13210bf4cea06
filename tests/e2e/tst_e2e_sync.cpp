// The real program end to end, through its public interfaces only: the settings file beside it, the
// keyboard of a real desktop, and the serial line, with the stand-in badge (quenterra-badge-sim) at
// the far end of a pseudo-terminal. The desktop is an X display with a window manager (openbox),
// or, as QUENTERRA_E2E_DESKTOP names it, a Wayland compositor: sway (wayland), GNOME's (gnome) or
// KDE's (kde). The same keys, read back as each desktop shows the windows.

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <csignal>

#include <unistd.h>

#include "Desktops.h"
#include "support/TestMain.h"

namespace {

using namespace quenterra::test;

// The program under test: this build's, or the one QUENTERRA_E2E_PROGRAM names, started through
// QUENTERRA_E2E_LAUNCHER. The Windows build gives quenterra.exe and scripts/wine-run: under Wine
// the program reaches the badge as COM7, which the launcher maps to the badge's line.
struct Program {
    QString path = qEnvironmentVariable("QUENTERRA_E2E_PROGRAM", QStringLiteral(QUENTERRA_PROGRAM));
    QStringList launcher = QProcess::splitCommand(qEnvironmentVariable("QUENTERRA_E2E_LAUNCHER"));

    bool underWine() const { return !launcher.isEmpty(); }

    // The name the program reaches the badge's line by, for the settings file.
    QString badgePort(const QString& line) const
    {
        return underWine() ? QStringLiteral("COM7") : line;
    }

    // A copy of the program in folder, beside its settings file; empty when it cannot be made.
    QString copyInto(const QTemporaryDir& folder) const
    {
        const QString copy = folder.filePath(QFileInfo(path).fileName());
        return QFile::copy(path, copy) ? copy : QString();
    }
};

// A settings file of the given sections; each line may hold %1 to %6 for the target's year,
// month, day, hour, minute and second.
QString settingsText(const QList<std::pair<QString, QStringList>>& sections,
                     const QDateTime& target)
{
    QString settings;
    for (const auto& [name, lines] : sections) {
        settings += '[' + name + "]\n" + lines.join(u'\n') + '\n';
    }
    const QDate date = target.date();
    const QTime time = target.time();
    settings = settings.arg(date.year()).arg(date.month()).arg(date.day());
    return settings.arg(time.hour()).arg(time.minute()).arg(time.second());
}

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        desktop_ = MakeDesktop(qEnvironmentVariable("QUENTERRA_E2E_DESKTOP"));
        QVERIFY2(desktop_, "QUENTERRA_E2E_DESKTOP names no desktop");
        if (const auto failure = desktop_->start()) {
            desktop_.reset();
            if (failure->missing) {
                QSKIP(qPrintable(failure->why));
            }
            QFAIL(qPrintable(failure->why));
        }
    }

    void cleanupTestCase() { desktop_.reset(); }

    // Sync with the keyboard: the badge gets the countdown and the brightness of the settings file,
    // and reaches zero at the target, although a second press held the sync with "Sending!" for a
    // while. Exit then leaves the file as it was: the same seven values, the pinned port, the
    // comment.
    void syncThenExit()
    {
        QTemporaryDir folder;
        const QString program = program_.copyInto(folder);
        QVERIFY(!program.isEmpty());

        Child badge(QStringLiteral(QUENTERRA_BADGE_SIM));
        badge.process.start();
        const auto path = badge.waitForLine(QStringLiteral("^COM7=(\\S+)$"));
        QVERIFY2(path, badge.output.constData());

        // 123 days 04:05:06 ahead, in whole seconds.
        const QDateTime target = QDateTime::fromSecsSinceEpoch(
            QDateTime::currentSecsSinceEpoch() + ((123 * 24 + 4) * 60 + 5) * 60LL + 6);
        const QList<std::pair<QString, QStringList>> sections = {
            {"Ports", {"; the stand-in badge", "COM7=" + program_.badgePort(*path)}},
            {"Target Date", {"Year=%1", "Month=%2", "Day=%3"}},
            {"Target Time", {"Hour=%4", "Minute=%5", "Second=%6"}},
            {"ShowBright", {"BrightValue=2"}},
        };
        const QString settings = settingsText(sections, target);
        QFile file(folder.filePath(QStringLiteral("Vorlenta.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings.toUtf8()) > 0);
        file.close();

        Child quenterra(program);
        start(quenterra, folder.path(), *path);
        const auto window = waitForWindow(quenterra, kTitle);
        QVERIFY2(window, "the program's window did not appear");
        // The desktop gives the new window the keyboard, and focus starts on "Sync".
        QVERIFY2(window->active || becomesActive(quenterra, window->id), "the window got no focus");
        QVERIFY(desktop_->press({{"space"}}));
        QTest::qWait(150);  // two presses, not one held down (a sync lasts 300 ms at least)
        QVERIFY(desktop_->press({{"space"}}));
        QVERIFY2(waitForWindow(quenterra, QStringLiteral("Waits")), "no Message \"Sending!\"");
        QTest::qWait(1500);  // read
        dismiss(quenterra, QStringLiteral("Waits"));

        const auto synced = badge.waitForLine(QStringLiteral("^synced (.*)$"));
        QVERIFY2(synced, badge.output.constData());
        QVERIFY2(synced->endsWith(" brightness 2 (code 0x02)"), qPrintable(*synced));
        // The frame lands just after a whole second, so the badge reaches zero at the target.
        const auto zero = badge.waitForLine(QStringLiteral("^badge has .*, reaches zero at (.*)$"));
        const qint64 zeroAt =
            QDateTime::fromString(zero.value_or(""), "yyyy-MM-dd hh:mm:ss.zzz").toMSecsSinceEpoch();
        const qint64 late = zeroAt - target.toMSecsSinceEpoch();
        QVERIFY2(qAbs(late) <= 50, qPrintable(QStringLiteral("zero %1 ms late").arg(late)));

        // Tab moves on from Sync to Exit.
        QVERIFY(desktop_->press({{"Tab", "space"}}));
        QVERIFY2(quenterra.process.waitForFinished(kWaitMs), "the program did not end on Exit");
        QCOMPARE(quenterra.process.exitStatus(), QProcess::NormalExit);
        if (quenterra.process.exitCode() != 0) {
            QFAIL(programOutput(quenterra));
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), settings);  // nothing of it changed

        badge.process.terminate();
        QVERIFY(badge.process.waitForFinished(kWaitMs));
        QCOMPARE(badge.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(badge.process.exitCode(), 0);
    }

    // What the desktop shows: the bare titles of the window and of each Message with the program's
    // id, none offering to maximise, each Message a dialog of the window once the window is shown,
    // focus on "Sync", the keys that press it, and the port selector keeping the text typed into
    // it. Asked to maximise, the window stays where and as it was. The target lies 5087 days past,
    // so each sync that gets as far as the range check is refused.
    void desktopShowsWhatWasTyped()
    {
        QTemporaryDir folder;
        const QString program = program_.copyInto(folder);
        QVERIFY(!program.isEmpty());
        Child badge(QStringLiteral(QUENTERRA_BADGE_SIM));
        badge.process.start();
        const auto path = badge.waitForLine(QStringLiteral("^COM7=(\\S+)$"));
        QVERIFY2(path, badge.output.constData());
        const QDateTime target = QDateTime::currentDateTime().addDays(-5087);
        QFile file(folder.filePath(QStringLiteral("Vorlenta.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(
                    settingsText(
                        {{"Ports", {"COM1=/nonexistent/tty", "COM12=" + program_.badgePort(*path)}},
                         {"Target Date", {"Year=%1", "Month=%2", "Day=%3"}},
                         {"Target Time", {"Hour=%4", "Minute=%5", "Second=%6"}}},
                        target)
                        .toUtf8()) > 0);
        file.close();

        Child quenterra(program);
        start(quenterra, folder.path(), *path);

        // Keys pressed in the window, and the Message each row ends with.
        struct Step {
            const char* what;
            QList<Keys> keys;
            const char* message;
        };
        const Step steps[] = {
            {"start-up, the target out of range", {}, "Note"},
            {"Space presses Sync, which has the focus", {{{"space"}}}, "Note"},
            {"Return presses Sync too", {{{"Return"}}}, "Note"},
            {"and so does the keypad's Enter", {{{"KP_Enter"}}}, "Note"},
            {"COM1 typed, with COM12 listed, stays COM1: its device is missing",
             {{{"Tab", "Tab", "ctrl+a"}, "COM1"}, {{"Tab", "space"}}},
             "Warning"},
            {"com6 typed is no port name",
             {{{"Tab", "Tab", "ctrl+a"}, "com6"}, {{"Return", "Tab", "space"}}},
             "Error"},
        };
        std::optional<ShownWindow> shown;  // the window as first shown
        for (const Step& step : steps) {
            qInfo("%s", step.what);
            for (const Keys& keys : step.keys) {
                QVERIFY(desktop_->press(keys));
            }
            const QString title = QString::fromLatin1(step.message);
            const auto message = waitForWindow(quenterra, title);
            QVERIFY2(message, qPrintable("no Message titled " + title));
            QCOMPARE(message->appId, appId());
            QCOMPARE(message->native, desktop_->expectsNative());
            QVERIFY(!message->maximisable);
            QVERIFY(message->active || becomesActive(quenterra, message->id));
            if (shown && message->owner) {
                QCOMPARE(*message->owner, shown->id);
            }
            if (shown && &step == &steps[1]) {
                const QString picture = QDir::current().filePath(
                    "e2e-" + qEnvironmentVariable("QUENTERRA_E2E_DESKTOP", "x11") + ".png");
                QVERIFY(desktop_->screenshot(picture));
                qInfo("the screen with the Message: %s", qPrintable(picture));
            }
            dismiss(quenterra, title);

            const auto window = waitForWindow(quenterra, kTitle);
            QVERIFY2(window, "the program's window did not appear");
            QCOMPARE(window->appId, appId());
            QCOMPARE(window->native, desktop_->expectsNative());
            QVERIFY(!window->maximisable);
            QVERIFY(window->active || becomesActive(quenterra, window->id));
            // Once the next Message has come, which the desktop took after the request.
            if (!shown) {
                shown = window;
                QVERIFY(desktop_->tryMaximise(*window));
            }
            QCOMPARE(window->area, shown->area);
        }

        // Nothing reached the badge; Return on Exit ends the program.
        QVERIFY(desktop_->press({{"Tab", "Return"}}));
        QVERIFY2(quenterra.process.waitForFinished(kWaitMs), "the program did not end on Exit");
        if (quenterra.process.exitCode() != 0) {
            QFAIL(programOutput(quenterra));
        }
        badge.output += badge.process.readAll();
        QVERIFY2(!badge.output.contains("synced"), badge.output.constData());
    }

    // What a screen reader gets through the accessibility bus (AT-SPI): the countdown and the clock
    // with what they show, the advice on the ports, the idle progress bar empty, and the changes
    // of the countdown announced, about once a second. Its user's Return on Sync sends the frame.
    // A user who may not open the badge's device (not in its group) is told so, and what to do,
    // below the clock and with Sync, where focus starts: the whole session theirs (nobody, 65534).
    void screenReaderHears_data()
    {
        QTest::addColumn<bool>("mayNotOpen");
        QTest::newRow("the port's user") << false;
        QTest::newRow("a user who may not open it") << true;
    }

    void screenReaderHears()
    {
        QFETCH(bool, mayNotOpen);
        // A command as that user runs it.
        const auto as = [mayNotOpen](QStringList command) {
            return mayNotOpen ? QStringList{"setpriv", "--reuid=65534", "--regid=65534",
                                            "--clear-groups", "--"} +
                                    command
                              : command;
        };
        if (mayNotOpen && (::geteuid() != 0 || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                           qEnvironmentVariable("QUENTERRA_E2E_DESKTOP", "x11") != u"x11")) {
            QSKIP(
                "as another user: run as root, on the X display (a compositor's socket is its "
                "user's)");
        }
        if (program_.underWine()) {
            QSKIP("a Windows program speaks to Windows' screen readers, not to AT-SPI");
        }
        const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                                   ? QStringLiteral("/usr/bin/python3")
                                   : QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty() || !Run(python, {"-c", "import pyatspi"}) ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            QSKIP("no AT-SPI here: python3-pyatspi, at-spi2-core or dbus is not installed");
        }
        // A session bus of the test's own, in its own process group: the accessibility bus and
        // its registry, started on demand, end with it.
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        QVERIFY(!mayNotOpen || ::chown(QFile::encodeName(runtime.path()), 65534, 65534) == 0);
        QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
        session.insert(QStringLiteral("HOME"), runtime.path());
        session.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        Child bus(QStringLiteral("setsid"),
                  as({"dbus-daemon", "--session", "--nofork", "--print-address"}));
        bus.process.setProcessEnvironment(session);
        bus.process.start();
        const auto endSession = qScopeGuard([&bus] {
            if (bus.process.processId() > 0) {
                ::kill(-pid_t(bus.process.processId()), SIGTERM);
            }
        });
        const auto address = bus.waitForLine(QStringLiteral("^(unix:\\S+)$"));
        QVERIFY2(address, bus.output.constData());
        session.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), *address);

        QTemporaryDir folder;
        const QString program = program_.copyInto(folder);
        QVERIFY(!program.isEmpty());
        QVERIFY(QFile::setPermissions(
            folder.path(), QFile::permissions(folder.path()) | QFile::ExeOther | QFile::ReadOther));
        Child badge(QStringLiteral(QUENTERRA_BADGE_SIM));
        badge.process.start();
        const auto path = badge.waitForLine(QStringLiteral("^COM7=(\\S+)$"));
        QVERIFY2(path, badge.output.constData());
        QVERIFY(!mayNotOpen || QFile::setPermissions(*path, QFile::ReadOwner | QFile::WriteOwner));
        QFile file(folder.filePath(QStringLiteral("Vorlenta.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(settingsText({{"Ports", {"COM7=" + *path}},
                                         {"Target Date", {"Year=%1", "Month=%2", "Day=%3"}},
                                         {"Target Time", {"Hour=%4", "Minute=%5", "Second=%6"}}},
                                        QDateTime::currentDateTime().addDays(123))
                               .toUtf8()) > 0);
        file.close();

        Child quenterra(program);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        desktop_->prepare(environment);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), *address);
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        quenterra.process.setProcessEnvironment(environment);
        quenterra.process.setWorkingDirectory(folder.path());
        QStringList command = as({program});
        quenterra.process.setProgram(command.takeFirst());
        quenterra.process.setArguments(command);
        quenterra.process.start();
        QVERIFY(quenterra.process.waitForStarted(kWaitMs));
        const auto window = waitForWindow(quenterra, kTitle);
        QVERIFY2(window, "the program's window did not appear");

        command = as({python, QStringLiteral(QUENTERRA_SCREEN_READER), "quenterra", "3.5"});
        Child reader(command.takeFirst(), command);
        reader.process.setProcessChannelMode(QProcess::SeparateChannels);
        reader.process.setProcessEnvironment(session);
        reader.process.start();
        QVERIFY2(reader.process.waitForFinished(kWaitMs) && reader.process.exitCode() == 0,
                 reader.process.readAllStandardError().constData());
        QList<QJsonObject> heard;
        QJsonObject announcements;
        for (const QByteArray& line : reader.process.readAllStandardOutput().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.contains(u"announced")) {
                announcements = object;
            } else if (!object.isEmpty()) {
                heard << object;
            }
        }
        // The first object of that role whose name, or description, starts so.
        auto find = [&heard](const QString& role, const char* field, const QString& start) {
            for (const QJsonObject& object : heard) {
                if (object[u"role"].toString() == role &&
                    object[QLatin1String(field)].toString().startsWith(start)) {
                    return object;
                }
            }
            return QJsonObject();
        };
        const QJsonObject countdown = find(QStringLiteral("label"), "name", "Countdown");
        QVERIFY2(QRegularExpression(QStringLiteral("^Countdown: 12[23]:\\d\\d:\\d\\d:\\d\\d$"))
                     .match(countdown[u"name"].toString())
                     .hasMatch(),
                 qPrintable(countdown[u"name"].toString()));
        QCOMPARE(countdown[u"description"].toString(),
                 QStringLiteral("Days, hours, minutes and seconds left until the target moment"));
        // The tests run in the C locale: "Clock: 8 Dec 2026 03:52:19".
        const QJsonObject clock = find(QStringLiteral("label"), "name", "Clock:");
        QVERIFY2(
            QRegularExpression(
                QStringLiteral("^Clock: \\d{1,2} [A-Z][a-z]{2} \\d{4}( \\d\\d:\\d\\d:\\d\\d)?$"))
                .match(clock[u"name"].toString())
                .hasMatch(),
            qPrintable(clock[u"name"].toString()));
        // Which device COM7 is, as the tooltip tells it; or why it could not be opened.
        const QJsonObject port =
            find(QStringLiteral("combo box"), "description", "The serial port the badge is on");
        const QString told = mayNotOpen ? "You may not open COM7 (" : "\nCOM7: ";
        QVERIFY2(port[u"description"].toString().contains(told + *path),
                 qPrintable(port[u"description"].toString()));
        if (mayNotOpen) {
            const QString advice = find(QStringLiteral("label"), "name", told)[u"name"].toString();
            QVERIFY2(advice.contains("\n"), "no advice below the clock, or none on what to do");
            QVERIFY(find(QStringLiteral("push button"), "name", "Sync")[u"description"]
                        .toString()
                        .endsWith(advice));
            return;  // Sync would say "Set Port Number Error!": there is no port to send on
        }
        QCOMPARE(
            find(QStringLiteral("progress bar"), "name", "Sync progress")[u"value"].toDouble(-1),
            0.0);
        const double seconds = announcements[u"seconds"].toDouble();
        for (const char* subject : {"Countdown", "Clock"}) {
            const int count = announcements[u"announced"][QLatin1String(subject)].toInt();
            QVERIFY2(count >= 2 && count <= 1 + seconds,
                     qPrintable(QStringLiteral("%1 announced %2 times in %3 s")
                                    .arg(subject)
                                    .arg(count)
                                    .arg(seconds)));
        }
        // The user then presses Return on Sync, where focus starts: the badge gets the frame.
        QVERIFY(window->active || becomesActive(quenterra, window->id));
        QVERIFY(desktop_->press({{"Return"}}));
        QVERIFY2(badge.waitForLine(QStringLiteral("^synced (.*)$")), badge.output.constData());
    }

private:
    // What the program wrote (a sanitizer's report, say), shown in full; for a failure's message.
    static const char* programOutput(Child& quenterra)
    {
        quenterra.output += quenterra.process.readAll();
        qWarning("the program wrote:\n%s", quenterra.output.constData());
        return "the program failed";
    }

    // Starts the program in folder on the desktop, the badge on line.
    void start(Child& quenterra, const QString& folder, const QString& line)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        desktop_->prepare(environment);
        if (program_.underWine()) {
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the Windows desktop's
            quenterra.process.setArguments(
                program_.launcher.mid(1) +
                QStringList{"--port", "7=" + line, quenterra.process.program()});
            quenterra.process.setProgram(program_.launcher.first());
        }
        quenterra.process.setProcessEnvironment(environment);
        quenterra.process.setWorkingDirectory(folder);
        quenterra.process.start();
        QVERIFY(quenterra.process.waitForStarted(kWaitMs));
    }

    // The program's shown window of exactly that title, as the desktop shows it.
    std::optional<ShownWindow> find(const Child& quenterra, const QString& title)
    {
        for (const ShownWindow& window : desktop_->windows(quenterra.process.processId())) {
            if (window.title == desktop_->shownTitle(title)) {
                return window;
            }
        }
        return std::nullopt;
    }

    std::optional<ShownWindow> waitForWindow(const Child& quenterra, const QString& title)
    {
        const QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            if (auto window = find(quenterra, title)) {
                return window;
            }
            if (deadline.hasExpired() || quenterra.process.state() != QProcess::Running) {
                return std::nullopt;
            }
            QTest::qWait(100);
        }
    }

    // Return presses OK. A key that came before the Message took the keyboard is lost: until the
    // Message has gone, Escape closes it too (and, should the Message be gone by the time it comes,
    // presses nothing in the window, as Return would).
    void dismiss(const Child& quenterra, const QString& title)
    {
        QVERIFY(desktop_->press({{"Return"}}));
        const QDeadlineTimer deadline(kWaitMs);
        while (find(quenterra, title)) {
            QVERIFY2(!deadline.hasExpired(), qPrintable("the Message " + title + " stayed"));
            QTest::qWait(1000);
            if (find(quenterra, title)) {
                QVERIFY(desktop_->press({{"Escape"}}));
            }
        }
    }

    // Waits until the desktop has given the window the keyboard.
    bool becomesActive(const Child& quenterra, const QString& id)
    {
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired()) {
            for (const ShownWindow& window : desktop_->windows(quenterra.process.processId())) {
                if (window.id == id && window.active) {
                    return true;
                }
            }
            QTest::qWait(100);
        }
        return false;
    }

    // The program's id as the desktop shows it: Wine names a Windows program's windows after its
    // executable.
    QString appId() const
    {
        return program_.underWine() ? QFileInfo(program_.path).fileName()
                                    : desktop_->expectedAppId();
    }

    static inline const QString kTitle = QStringLiteral("Quenterra  Ver 2.00");
    Program program_;
    std::unique_ptr<Desktop> desktop_;
};

QUENTERRA_TEST_MAIN(TestEndToEnd)
#include "tst_e2e_sync.moc"
