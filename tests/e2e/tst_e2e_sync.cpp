// The real program end to end, through its public interfaces only: the settings file beside it, the
// keyboard on a real X display (xdotool), and the serial line, with the stand-in badge
// (quenterra-badge-sim) at the far end of a pseudo-terminal.

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
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            QSKIP("xdotool is not installed");
        }
    }

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
        const QDateTime target = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() +
                                                               ((123 * 24 + 4) * 60 + 5) * 60LL + 6);
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
        // With no window manager nothing gives the window the keyboard: give it, then type.
        QVERIFY(xdotool({"windowfocus", "--sync", window->section(u'\n', 0, 0)}));
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
};

QUENTERRA_TEST_MAIN(TestEndToEnd)
#include "tst_e2e_sync.moc"
