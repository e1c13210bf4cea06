// The sync, pressed in the real window: Form1 with the real serial component, tick counter, event
// pump and clock, its COM3 standing for a pseudo-terminal whose other end a thread of its own keeps
// drained. The target lies 100 days ahead, so the sync runs to its end. Each press of "Sync" is
// timed from the click to the return of its handler, by when the port has been closed again; in
// between the presses the window idles for a while, and each press comes at another fraction of a
// second of the clock, spread evenly over the second.
//
// The badge on time: for each sync, when the badge would reach zero less the target moment, that is
// the moment the first byte arrived at the far end (the system clock) plus the 100 ms that the 12
// bytes take on a 1200-baud line plus the seconds the frame carries, less the target.
//
// The CPU of a sync is the process's CPU time over the press (every thread: the window's, and
// Qt's own, such as the X connection's reader) less that of the thread that drains the other end,
// which stands in for the badge; it is given as a share of the press's wall time. The window
// thread's own share is printed too.
//
// Where the time goes is noted on the way, through the serial component: until the port is open,
// the wait for the moment to send (from the open to the wake string), until its bytes have left
// (the drain wait ends), the two pauses up to the close, and the close.
//
// Prints "key value" lines: sync_ms (median), sync_ms_max, sync_wait_ms (median), sync_wait_ms_max,
// sync_nowait_ms (median of each press less its wait), sync_nowait_ms_max, sync_cpu_pct (median),
// sync_ui_cpu_pct (median), sync_presses, sync_floor_ms (the two pauses: the least a sync can take
// with no line time), sync_floor_line_ms (the same plus the bytes' time on a 1200-baud line), the
// medians of the parts: sync_open_ms, sync_send_ms, sync_pauses_ms, sync_close_ms; and
// ontime_ms_median, ontime_ms_worst (the error farthest from zero, with its sign).
//
// quenterra-bench-sync [--presses N]   (default 20; on the X display of the environment, offscreen
// when there is none)

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#include <cstdlib>
#include <ctime>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/Form1.h"
#include "badge/BadgeSync.h"
#include "badge/PortSelection.h"
#include "badge/SyncFrame.h"
#include "common/CountingMessages.h"
#include "common/Median.h"
#include "pty/PseudoTerminal.h"
#include "sim/BadgeStream.h"
#include "support/NotingComm.h"
#include "system/serial/SystemSerialComm.h"
#include "system/session/QtEventPump.h"
#include "system/session/SystemClock.h"
#include "system/session/SystemTickCounter.h"
#include "system/settingsfile/DiskSettingsFiles.h"

namespace quenterra::bench {
namespace {

using test::NotingComm;

double clockSeconds(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The far end of the line: a pseudo-terminal master, read by a thread of its own.
class FarEnd {
public:
    FarEnd()
    {
        if (isValid()) {
            thread_ = std::thread([this] { drain(); });
        }
    }
    ~FarEnd()
    {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    bool isValid() const { return pty_.isValid(); }
    const QString& slavePath() const { return pty_.slavePath(); }
    long long received() const { return received_; }

    // The bytes of the latest sync, and when its first byte arrived (system clock, ms since the
    // epoch).
    std::pair<QByteArray, double> latestSync() const
    {
        const std::lock_guard lock(mutex_);
        return {latest_, latestAtMs_};
    }

    // The CPU time the reading thread has used, in seconds.
    double cpuSeconds()
    {
        clockid_t clock{};
        timespec used{};
        if (::pthread_getcpuclockid(thread_.native_handle(), &clock) != 0 ||
            ::clock_gettime(clock, &used) != 0) {
            return 0;
        }
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    }

private:
    void drain()
    {
        while (!stop_) {
            pollfd watch{master_, POLLIN, 0};
            if (::poll(&watch, 1, 20) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t count = ::read(master_, buffer, sizeof buffer);
            if (count > 0) {
                const double arrivedAtMs = clockSeconds(CLOCK_REALTIME) * 1e3;
                const std::lock_guard lock(mutex_);
                if (received_ % kSyncBytes == 0) {
                    latest_.clear();
                    latestAtMs_ = arrivedAtMs;
                }
                latest_.append(buffer, count);
                received_ += count;
            } else if (count < 0 && errno == EAGAIN) {
                continue;
            } else {
                // Nobody holds the slave (between syncs): the master reads as hung up until the
                // next open, so wait a little rather than spin.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    PseudoTerminal pty_;
    int master_ = pty_.master();
    mutable std::mutex mutex_;
    QByteArray latest_;
    double latestAtMs_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long long> received_{0};
    std::thread thread_;
};

// Milliseconds from `from` to `to`.
double msBetween(NotingComm::Moment from, NotingComm::Moment to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Writes the settings file with a target 100 days ahead; gives the target (ms since the epoch), or
// nothing when the file cannot be written.
std::optional<qint64> writeSettings(const QString& path)
{
    QDateTime target = QDateTime::currentDateTime().addDays(100);
    target = target.addMSecs(-target.time().msec());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return std::nullopt;
    }
    const QString text = QStringLiteral(
                             "[Target Date]\nYear=%1\nMonth=%2\nDay=%3\n[Target Time]\nHour=%4\n"
                             "Minute=%5\nSecond=%6\n[ShowBright]\nBrightValue=4\n")
                             .arg(target.date().year())
                             .arg(target.date().month())
                             .arg(target.date().day())
                             .arg(target.time().hour())
                             .arg(target.time().minute())
                             .arg(target.time().second());
    if (file.write(text.toUtf8()) <= 0) {
        return std::nullopt;
    }
    return target.toMSecsSinceEpoch();
}

// Idles until the system clock is fractionMs past a whole second.
void idleUntilFraction(int fractionMs)
{
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    idle(static_cast<int>(((fractionMs - nowMs % 1000) + 1000) % 1000));
}

int run(int argc, char** argv)
{
    int presses = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--presses") == 0) {
            presses = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    QTemporaryDir folder;
    const QString ini = folder.filePath(kSettingsFileName);
    const std::optional<qint64> targetMs = folder.isValid() ? writeSettings(ini) : std::nullopt;
    if (!targetMs) {
        std::fprintf(stderr, "quenterra-bench-sync: cannot write %s\n", qPrintable(ini));
        return 1;
    }
    FarEnd farEnd;
    if (!farEnd.isValid()) {
        std::fprintf(stderr, "quenterra-bench-sync: no pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }

    SystemClock clock;
    CountingMessages messages;
    SystemTickCounter ticks;
    QtEventPump pump;
    NotingComm comm;
    DiskSettingsFiles files;
    PortMap ports;
    ports.setDevice(3, {farEnd.slavePath(), QStringLiteral("pseudo-terminal")});
    Form1 form({clock, messages, ticks, pump, comm, SettingsLocation{ini, ini}, files,
                [&comm, &ports](const QMap<int, QString>&) {
                    comm.real.setPortMap(ports);
                    return ports;
                }});
    form.load();
    form.show();
    idle(500);

    auto* send = form.findChild<QPushButton*>(QStringLiteral("CmdSend"));
    auto* port = form.findChild<QComboBox*>(QStringLiteral("ComSele"));
    if (send == nullptr || port == nullptr || port->currentText() != QStringLiteral("COM3") ||
        messages.shown > 0) {
        std::fprintf(stderr, "quenterra-bench-sync: the window did not come up with COM3 chosen\n");
        return 1;
    }

    const clockid_t windowThread = [] {
        clockid_t id{};
        ::pthread_getcpuclockid(::pthread_self(), &id);
        return id;
    }();
    std::vector<double> wallMs;
    std::vector<double> waitMs;
    std::vector<double> noWaitMs;
    std::vector<double> lateMs;
    std::vector<double> cpuPercent;
    std::vector<double> uiCpuPercent;
    std::vector<double> openMs;
    std::vector<double> sendMs;
    std::vector<double> pausesMs;
    std::vector<double> closeMs;
    for (int press = 0; press < presses; ++press) {
        idle(300);
        idleUntilFraction(press * 1000 / presses);
        comm.forget();
        const double processBefore = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double windowBefore = clockSeconds(windowThread);
        const double farEndBefore = farEnd.cpuSeconds();
        const NotingComm::Moment wallBefore = std::chrono::steady_clock::now();
        send->click();
        const double wall = msBetween(wallBefore, std::chrono::steady_clock::now()) / 1e3;
        const double farEndUsed = farEnd.cpuSeconds() - farEndBefore;
        const double windowUsed = clockSeconds(windowThread) - windowBefore;
        const double processUsed = clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;

        if (comm.portOpen() || messages.shown > 0 || comm.openedAt == NotingComm::Moment{} ||
            comm.wokenAt == NotingComm::Moment{} || comm.drainedAt == NotingComm::Moment{} ||
            comm.closedAt == NotingComm::Moment{}) {
            std::fprintf(stderr, "quenterra-bench-sync: the sync did not end cleanly\n");
            return 1;
        }
        wallMs.push_back(wall * 1e3);
        waitMs.push_back(msBetween(comm.openedAt, comm.wokenAt));
        noWaitMs.push_back(wallMs.back() - waitMs.back());
        cpuPercent.push_back((processUsed - farEndUsed) / wall * 100);
        uiCpuPercent.push_back(windowUsed / wall * 100);
        openMs.push_back(msBetween(wallBefore, comm.openedAt));
        sendMs.push_back(msBetween(comm.wokenAt, comm.drainedAt));
        pausesMs.push_back(msBetween(comm.drainedAt, comm.closingAt));
        closeMs.push_back(msBetween(comm.closingAt, comm.closedAt));

        // The badge's zero moment, from what reached the far end.
        idle(20);
        const auto [bytes, firstByteAtMs] = farEnd.latestSync();
        SyncFrame frame{};
        if (bytes.size() != kSyncBytes) {
            std::fprintf(stderr, "quenterra-bench-sync: the sync's bytes did not arrive\n");
            return 1;
        }
        std::copy(bytes.end() - qsizetype(frame.size()), bytes.end(), frame.begin());
        const FrameReading reading = DecodeSyncFrame(frame);
        if (!reading.frame) {
            std::fprintf(stderr, "quenterra-bench-sync: %s\n", qPrintable(reading.error));
            return 1;
        }
        lateMs.push_back(firstByteAtMs + kSyncLineMs + double(reading.frame->remaining()) * 1e3 -
                         double(*targetMs));

        std::fprintf(stderr,
                     "    press %2d: %6.1f ms (open %.1f, wait %.1f, send %.1f, pauses %.1f, "
                     "close %.1f), CPU %4.1f %% (window thread %4.1f %%), zero %+.1f ms\n",
                     press + 1, wallMs.back(), openMs.back(), waitMs.back(), sendMs.back(),
                     pausesMs.back(), closeMs.back(), cpuPercent.back(), uiCpuPercent.back(),
                     lateMs.back());
    }

    // Every press sent the wake string and the frame.
    idle(100);
    if (farEnd.received() != static_cast<long long>(kSyncBytes) * presses) {
        std::fprintf(stderr, "quenterra-bench-sync: %lld bytes arrived, %lld expected\n",
                     farEnd.received(), static_cast<long long>(kSyncBytes) * presses);
        return 1;
    }

    const int floorMs = 2 * (BadgeSync::kPauseMs + 1);
    auto maxOf = [](const std::vector<double>& values) {
        return *std::max_element(values.begin(), values.end());
    };
    const double worstLate = *std::max_element(
        lateMs.begin(), lateMs.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
    std::printf("sync_ms %.1f\n", median(wallMs));
    std::printf("sync_ms_max %.1f\n", maxOf(wallMs));
    std::printf("sync_wait_ms %.1f\n", median(waitMs));
    std::printf("sync_wait_ms_max %.1f\n", maxOf(waitMs));
    std::printf("sync_nowait_ms %.1f\n", median(noWaitMs));
    std::printf("sync_nowait_ms_max %.1f\n", maxOf(noWaitMs));
    std::printf("sync_cpu_pct %.1f\n", median(cpuPercent));
    std::printf("sync_ui_cpu_pct %.1f\n", median(uiCpuPercent));
    std::printf("sync_presses %d\n", presses);
    std::printf("sync_floor_ms %d\n", floorMs);
    std::printf("sync_floor_line_ms %d\n", floorMs + kSyncLineMs);
    std::printf("sync_open_ms %.1f\n", median(openMs));
    std::printf("sync_send_ms %.1f\n", median(sendMs));
    std::printf("sync_pauses_ms %.1f\n", median(pausesMs));
    std::printf("sync_close_ms %.1f\n", median(closeMs));
    std::printf("ontime_ms_median %+.1f\n", median(lateMs));
    std::printf("ontime_ms_worst %+.1f\n", worstLate);
    return 0;
}

}  // namespace
}  // namespace quenterra::bench

int main(int argc, char** argv)
{
    return quenterra::bench::run(argc, argv);
}
