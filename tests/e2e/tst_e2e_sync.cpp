// The real program end to end, through its public interfaces only: the settings file beside it, the
// keyboard on a real X display (xdotool), and the serial line, with the stand-in badge
// (quenterra-badge-sim) at the far end of a pseudo-terminal. A window manager (openbox) runs on the
// display, as on a desktop: it gives windows the keyboard, and the titles are read as it shows
// them.

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include "support/TestMain.h"

namespace {

// Generous bounds for a slow machine; none of them decides a result.
constexpr int kWaitMs = 20000;

// A process and everything it has written so far, killed if the test ends early.
struct Child {
    QProcess process;
    QByteArray output;

    explicit Child(const QString& program)
    {
        process.setProgram(program);
        process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~Child()
    {
        process.kill();
        process.waitForFinished(kWaitMs);
    }

    // The first capture of the first line matching pattern, once it has been written.
    std::optional<QString> waitForLine(const QString& pattern)
    {
        const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
        const QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            output += process.readAll();
            if (const auto match = line.match(QString::fromLocal8Bit(output)); match.hasMatch()) {
                return match.captured(1);
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
                return std::nullopt;
            }
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }
};

// xdotool's output; nullopt when it fails or does not finish in time.
std::optional<QString> xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(kWaitMs) || tool.exitCode() != 0) {
        qWarning("xdotool %s failed: %s", qPrintable(arguments.join(u' ')),
                 tool.readAllStandardError().constData());
        tool.kill();
        tool.waitForFinished(kWaitMs);
        return std::nullopt;
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// Whether xdotool finds what it is asked for (quiet: not finding is an answer here).
bool xdotoolFinds(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool finished = tool.waitForFinished(kWaitMs);
    if (!finished) {
        tool.kill();
        tool.waitForFinished(kWaitMs);
    }
    return finished && tool.exitCode() == 0;
}

// Waits until what xdotool is asked for is there (or, with gone, no longer there).
bool waitFor(const QStringList& arguments, bool gone = false)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (xdotoolFinds(arguments) == gone) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(100);
    }
    return true;
}

// Waits until the window manager has given window the keyboard.
bool activeWindowBecomes(const QString& window)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (xdotool({"getactivewindow"}).value_or(QString()) != window) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(100);
    }
    return true;
}

// One property of a window as the desktop reads it, "" when it has none.
QString xprop(const QString& window, const char* property)
{
    QProcess tool;
    const QStringList which = window == u"root" ? QStringList{"-root"} : QStringList{"-id", window};
    tool.start(QStringLiteral("xprop"), which + QStringList{QString::fromLatin1(property)});
    if (!tool.waitForFinished(kWaitMs) || tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished(kWaitMs);
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

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

// The lines of one section of an ini text, without its header and trailing blank lines.
QStringList sectionLines(const QString& text, const QString& name)
{
    QStringList lines;
    bool inside = false;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(u'[')) {
            inside = line == u'[' + name + u']';
        } else if (inside) {
            lines << line;
        }
    }
    while (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("no X display (DISPLAY is not set): run the tests under xvfb-run");
        }
        for (const char* tool : {"xdotool", "xprop", "openbox"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));
            }
        }
        // A real window manager, as on a desktop: it gives new windows the keyboard and shows
        // their titles.
        windowManager_.emplace(QStringLiteral("openbox"));
        windowManager_->process.start();
        QVERIFY(windowManager_->process.waitForStarted(kWaitMs));
        const QDeadlineTimer deadline(kWaitMs);
        while (!xprop(QStringLiteral("root"), "_NET_SUPPORTING_WM_CHECK").contains("window id")) {
            QVERIFY2(!deadline.hasExpired() && windowManager_->process.state() == QProcess::Running,
                     windowManager_->output.constData());
            QTest::qWait(100);
        }
    }

    void cleanupTestCase() { windowManager_.reset(); }

    // Sync with the keyboard: the badge gets the countdown and the brightness of the settings file.
    // Exit then leaves the file with the same seven values and the pinned port untouched.
    void syncThenExit()
    {
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("quenterra"));
        QVERIFY(QFile::copy(QStringLiteral(QUENTERRA_PROGRAM), program));

        Child badge(QStringLiteral(QUENTERRA_BADGE_SIM));
        badge.process.start();
        const auto path = badge.waitForLine(QStringLiteral("^COM7=(\\S+)$"));
        QVERIFY2(path, badge.output.constData());

        // 123 days 04:05:06 ahead, in whole seconds.
        const QDateTime target = QDateTime::fromSecsSinceEpoch(
            QDateTime::currentSecsSinceEpoch() + ((123 * 24 + 4) * 60 + 5) * 60LL + 6);
        const QDate date = target.date();
        const QTime time = target.time();
        const QList<std::pair<QString, QStringList>> sections = {
            {"Ports", {"; the stand-in badge", "COM7=" + *path}},
            {"Target Date", {"Year=%1", "Month=%2", "Day=%3"}},
            {"Target Time", {"Hour=%4", "Minute=%5", "Second=%6"}},
            {"ShowBright", {"BrightValue=2"}},
        };
        QString settings;
        for (const auto& [name, lines] : sections) {
            settings += '[' + name + "]\n" + lines.join(u'\n') + '\n';
        }
        settings = settings.arg(date.year()).arg(date.month()).arg(date.day());
        settings = settings.arg(time.hour()).arg(time.minute()).arg(time.second());
        QFile file(folder.filePath(QStringLiteral("Vorlenta.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings.toUtf8()) > 0);
        file.close();

        Child quenterra(program);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        quenterra.process.setProcessEnvironment(environment);
        quenterra.process.setWorkingDirectory(folder.path());
        quenterra.process.start();
        QVERIFY(quenterra.process.waitForStarted(kWaitMs));

        const auto window =
            xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid",
                     QString::number(quenterra.process.processId()), "--name", "^Quenterra"});
        QVERIFY2(window && !window->isEmpty(), "the program's window did not appear");
        // The window manager gives the new window the keyboard, and focus starts on "Sync".
        QVERIFY2(activeWindowBecomes(window->section(u'\n', 0, 0)), "the window got no focus");
        const qint64 pressedAt = QDateTime::currentSecsSinceEpoch();
        QVERIFY(xdotool({"key", "space"}));

        const auto synced = badge.waitForLine(QStringLiteral("^synced (.*)$"));
        const qint64 seenAt = QDateTime::currentSecsSinceEpoch();
        QVERIFY2(synced, badge.output.constData());
        const auto fields =
            QRegularExpression(QStringLiteral("^(\\d{3}):(\\d\\d):(\\d\\d):(\\d\\d) "
                                              "brightness 2 \\(code 0x02\\)$"))
                .match(*synced);
        QVERIFY2(fields.hasMatch(), qPrintable(*synced));
        const qint64 remaining =
            ((fields.captured(1).toLongLong() * 24 + fields.captured(2).toLongLong()) * 60 +
             fields.captured(3).toLongLong()) *
                60 +
            fields.captured(4).toLongLong();
        const qint64 targetAt = target.toSecsSinceEpoch();
        QVERIFY2(remaining >= targetAt - seenAt - 1 && remaining <= targetAt - pressedAt + 1,
                 qPrintable(QStringLiteral("the badge got %1 s; %2 to %3 s expected")
                                .arg(remaining)
                                .arg(targetAt - seenAt)
                                .arg(targetAt - pressedAt)));
        // The frame lands just after a whole second, so the badge reaches zero at the target.
        const auto zero = badge.waitForLine(QStringLiteral("^badge has .*, reaches zero at (.*)$"));
        const qint64 zeroAt =
            QDateTime::fromString(zero.value_or(""), "yyyy-MM-dd hh:mm:ss.zzz").toMSecsSinceEpoch();
        const qint64 late = zeroAt - targetAt * 1000;
        QVERIFY2(qAbs(late) <= 50, qPrintable(QStringLiteral("zero %1 ms late").arg(late)));

        // Tab moves on from Sync to Exit.
        QVERIFY(xdotool({"key", "Tab", "space"}));
        QVERIFY2(quenterra.process.waitForFinished(kWaitMs), "the program did not end on Exit");
        QCOMPARE(quenterra.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quenterra.process.exitCode(), 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());
        const QStringList written = settings.split(u'\n');
        for (const auto& [name, lines] : sections) {
            const auto header = written.indexOf('[' + name + ']');
            QCOMPARE(sectionLines(saved, name), written.mid(header + 1, lines.size()));
        }

        badge.process.terminate();
        QVERIFY(badge.process.waitForFinished(kWaitMs));
        QCOMPARE(badge.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(badge.process.exitCode(), 0);
    }

    // What the desktop shows: the bare titles of the window and of each Message, neither offering
    // to maximise, focus on "Sync", and the port selector keeping the text typed into it. The
    // target lies 5087 days past, so each sync that gets as far as the range check is refused.
    void desktopShowsWhatWasTyped()
    {
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("quenterra"));
        QVERIFY(QFile::copy(QStringLiteral(QUENTERRA_PROGRAM), program));
        Child badge(QStringLiteral(QUENTERRA_BADGE_SIM));
        badge.process.start();
        const auto path = badge.waitForLine(QStringLiteral("^COM7=(\\S+)$"));
        QVERIFY2(path, badge.output.constData());
        const QDateTime target = QDateTime::currentDateTime().addDays(-5087);
        QFile file(folder.filePath(QStringLiteral("Vorlenta.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(settingsText({{"Ports", {"COM1=/nonexistent/tty", "COM12=" + *path}},
                                         {"Target Date", {"Year=%1", "Month=%2", "Day=%3"}},
                                         {"Target Time", {"Hour=%4", "Minute=%5", "Second=%6"}}},
                                        target)
                               .toUtf8()) > 0);
        file.close();

        Child quenterra(program);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        quenterra.process.setProcessEnvironment(environment);
        quenterra.process.setWorkingDirectory(folder.path());
        quenterra.process.start();
        QVERIFY(quenterra.process.waitForStarted(kWaitMs));
        const QString pid = QString::number(quenterra.process.processId());

        // Keys typed into the window, and the Message each row ends with, dismissed with Return.
        struct Step {
            const char* what;
            QList<QStringList> xdotool;  // one xdotool command line after another
            const char* message;
        };
        const Step steps[] = {
            {"start-up, the target out of range", {}, "Note"},
            {"Space presses Sync, which has the focus", {{"key", "space"}}, "Note"},
            {"COM1 typed, with COM12 listed, stays COM1: its device is missing",
             {{"key", "Tab", "Tab", "ctrl+a"},
              {"type", "--delay", "50", "COM1"},
              {"key", "Tab", "space"}},
             "Warning"},
            {"com6 typed is no port name",
             {{"key", "Tab", "Tab", "ctrl+a"},
              {"type", "--delay", "50", "com6"},
              {"key", "Return", "Tab", "space"}},
             "Error"},
        };
        for (const Step& step : steps) {
            qInfo("%s", step.what);
            for (const QStringList& command : step.xdotool) {
                QVERIFY(xdotool(command));
            }
            const QString title = QString::fromLatin1(step.message);
            const QStringList search = {"search", "--all",  "--onlyvisible",  "--pid",
                                        pid,      "--name", '^' + title + '$'};
            QVERIFY2(waitFor(search), qPrintable("no Message titled " + title));
            const QString message = xdotool(search)->section(u'\n', 0, 0);
            QCOMPARE(xprop(message, "_NET_WM_NAME"),
                     QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"%1\"").arg(title));
            QVERIFY(!xprop(message, "_NET_WM_ALLOWED_ACTIONS").contains("MAXIMIZE"));
            QVERIFY(activeWindowBecomes(message));
            // Return presses OK; a key that came before the Message took the keyboard is lost, so
            // it is pressed again until the Message has gone (Return presses nothing in the
            // window).
            const QDeadlineTimer deadline(kWaitMs);
            while (xdotoolFinds(search)) {
                QVERIFY2(!deadline.hasExpired(), qPrintable("the Message " + title + " stayed"));
                QVERIFY(xdotool({"key", "Return"}));
                QTest::qWait(500);
            }

            const auto window =
                xdotool({"search", "--all", "--onlyvisible", "--pid", pid, "--name", "^Quenterra"});
            QVERIFY2(window && !window->isEmpty(), "the program's window did not appear");
            QCOMPARE(xprop(*window, "_NET_WM_NAME"),
                     QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"Quenterra  Ver 2.00\""));
            QVERIFY(!xprop(*window, "_NET_WM_ALLOWED_ACTIONS").contains("MAXIMIZE"));
            QVERIFY(activeWindowBecomes(*window));
        }

        // Nothing reached the badge; Exit ends the program.
        QVERIFY(xdotool({"key", "Tab", "space"}));
        QVERIFY2(quenterra.process.waitForFinished(kWaitMs), "the program did not end on Exit");
        QCOMPARE(quenterra.process.exitCode(), 0);
        badge.output += badge.process.readAll();
        QVERIFY2(!badge.output.contains("synced"), badge.output.constData());
    }

private:
    std::optional<Child> windowManager_;
};

QUENTERRA_TEST_MAIN(TestEndToEnd)
#include "tst_e2e_sync.moc"
