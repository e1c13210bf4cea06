// quenterra-badge-sim: a stand-in for the Quenterra LED badge.
//
// With no argument it opens a pseudo-terminal and prints the line to pin it as a port in
// Vorlenta.ini; with a device path it listens on that serial device at 1200 baud 8N1. Each sync the
// program sends is decoded and printed as one line, followed by the moment the badge had the whole
// frame and the moment its countdown reaches zero, local time to the millisecond; the countdown
// then runs on, once a second, as on the badge. A pseudo-terminal delivers bytes at once, so there
// the moment the frame arrived is put off by the time a 1200-baud line takes. Bad input is reported
// and skipped. Ctrl-C or SIGTERM ends it.

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <cstdio>

#include "SimLine.h"
#include "badge/BadgeProtocol.h"
#include "sim/BadgeStream.h"

namespace quenterra {
namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int /*signal*/)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool catchStopSignals()
{
    if (::pipe(signalPipe) != 0) {
        return false;
    }
    for (const int fd : signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Standard output: whole lines, flushed at once (a test may be reading through a pipe), and on a
// terminal one status line that each new state overwrites.
class Output {
public:
    Output() : terminal_(::isatty(STDOUT_FILENO) == 1) {}

    void line(const QString& text)
    {
        clearStatus();
        std::fputs(qPrintable(text + u'\n'), stdout);
        std::fflush(stdout);
    }

    void status(const QString& text)
    {
        if (!terminal_) {
            return;
        }
        std::fputs(qPrintable(u'\r' + text + QStringLiteral("\033[K")), stdout);
        std::fflush(stdout);
        statusShown_ = true;
    }

    void clearStatus()
    {
        if (statusShown_) {
            std::fputs("\r\033[K", stdout);
            statusShown_ = false;
        }
    }

    // Leaves the status line as it stands and ends it.
    void finish()
    {
        if (statusShown_) {
            std::fputs("\n", stdout);
            statusShown_ = false;
        }
        std::fflush(stdout);
    }

private:
    bool terminal_;
    bool statusShown_ = false;
};

// The badge's own countdown after a sync: the synced value less the whole seconds since.
class Countdown {
public:
    Countdown(Output& output, const QElapsedTimer& clock) : output_(output), clock_(clock)
    {
        tick_.setSingleShot(true);
        tick_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick_, &QTimer::timeout, [this] { show(); });
    }

    // From the moment the badge has the whole frame (on the steady clock, maybe a moment ahead).
    void start(qint32 remaining, qint64 syncedAt)
    {
        remaining_ = remaining;
        syncedAt_ = syncedAt;
        show();
    }

private:
    void show()
    {
        const qint64 elapsed = clock_.elapsed() - syncedAt_;
        const qint64 left = std::max<qint64>(0, remaining_ - elapsed / 1000);
        if (left == 0) {
            output_.line(QStringLiteral("countdown reached 000:00:00:00"));
            return;
        }
        output_.status(QStringLiteral("badge shows ") +
                       BadgeCountdownText(SplitCountdown(static_cast<qint32>(left))));
        tick_.start(int(1000 - elapsed % 1000));  // elapsed < 0: a second after the frame
    }

    Output& output_;
    const QElapsedTimer& clock_;
    QTimer tick_;
    qint32 remaining_ = 0;
    qint64 syncedAt_ = 0;
};

int run(const QStringList& arguments)
{
    Output output;
    const bool help = arguments.size() == 2 && (arguments[1] == u"-h" || arguments[1] == u"--help");
    if (help || arguments.size() > 2 || (arguments.size() == 2 && arguments[1].startsWith(u'-'))) {
        std::fputs(
            "usage: quenterra-badge-sim [serial device]\n"
            "With no device, listens on a new pseudo-terminal and prints its path.\n",
            help ? stdout : stderr);
        return help ? 0 : 2;
    }
    if (!catchStopSignals()) {
        std::perror("quenterra-badge-sim: cannot catch signals");
        return 1;
    }

    QString error;
    const std::unique_ptr<SimLine> line =
        arguments.size() == 2 ? SimLine::openDevice(arguments[1], kBadgeLine, &error)
                              : SimLine::openPseudoTerminal(&error);
    if (!line) {
        std::fprintf(stderr, "quenterra-badge-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (line->isPseudoTerminal()) {
        output.line(QStringLiteral("Stand-in badge listening on %1. Pin it in Vorlenta.ini:\n"
                                   "[Ports]\n"
                                   "COM7=%1")
                        .arg(line->path()));
    } else {
        output.line(QStringLiteral("Stand-in badge listening on %1 at %2.")
                        .arg(line->path(), DescribeLine(kBadgeLine)));
    }
    // What the bytes of one sync take on the badge's line; a pseudo-terminal takes no time at all.
    const qint32 addedMs = line->isPseudoTerminal() ? kSyncLineMs : 0;
    if (addedMs > 0) {
        output.line(QStringLiteral("A pseudo-terminal takes no line time: each frame counts as had "
                                   "%1 ms after it arrived, as at %2 baud.")
                        .arg(addedMs)
                        .arg(kBadgeLine.baudRate));
    }
    output.line(QStringLiteral("Waiting for a sync; Ctrl-C ends."));

    QElapsedTimer clock;
    clock.start();
    BadgeStream stream;
    Countdown countdown(output, clock);
    int exitCode = 0;

    QTimer silence;
    silence.setSingleShot(true);
    silence.setTimerType(Qt::PreciseTimer);
    // When the bytes were read: on the steady clock, and in ms since the epoch.
    auto report = [&](const std::vector<BadgeEvent>& events, qint64 arrivedAt, qint64 arrivedAtMs) {
        for (const BadgeEvent& event : events) {
            output.line(event.describe());
            if (event.synced) {
                const qint64 hadAtMs = arrivedAtMs + addedMs;
                const qint64 zeroAtMs = hadAtMs + qint64(event.synced->remaining()) * 1000;
                auto local = [](qint64 ms) {
                    return QDateTime::fromMSecsSinceEpoch(ms).toString(
                        QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
                };
                output.line(QStringLiteral("badge has the frame at %1, reaches zero at %2")
                                .arg(local(hadAtMs), local(zeroAtMs)));
                countdown.start(event.synced->remaining(), arrivedAt + addedMs);
            }
        }
        if (const auto due = stream.deadline()) {
            silence.start(int(std::max<qint64>(0, *due - clock.elapsed() + 1)));
        } else {
            silence.stop();
        }
    };
    QObject::connect(&silence, &QTimer::timeout, [&] {
        report(stream.expire(clock.elapsed()), clock.elapsed(),
               QDateTime::currentMSecsSinceEpoch());
    });

    QSocketNotifier incoming(line->fd(), QSocketNotifier::Read);
    QObject::connect(&incoming, &QSocketNotifier::activated, [&] {
        QByteArray bytes;
        const SimLine::Read result = line->readAvailable(bytes, &error);
        const qint64 arrivedAtMs = QDateTime::currentMSecsSinceEpoch();
        const qint64 arrivedAt = clock.elapsed();
        report(stream.feed(bytes, arrivedAt), arrivedAt, arrivedAtMs);
        if (result == SimLine::Read::Gone) {
            incoming.setEnabled(false);
            output.line(QStringLiteral("The line is gone: ") + error);
            exitCode = 1;
            QCoreApplication::quit();
        }
    });

    QSocketNotifier stop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    QCoreApplication::exec();
    output.finish();
    return exitCode;
}

}  // namespace
}  // namespace quenterra

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return quenterra::run(QCoreApplication::arguments());
}
