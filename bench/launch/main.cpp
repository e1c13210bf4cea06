// Starts the program and the baseline in turn, on the X display of the environment, and measures
// per run:
//   - start-up: from just before the process is spawned to its first window image on the X server,
//     as the preloaded first-paint library notes it (both processes get the same library);
//   - idle CPU: the process's CPU time (all threads, user and system) over the idle window, which
//     opens a settle time after the first paint;
//   - peak RSS: ru_maxrss of the ended process as wait4 reports it, over its whole life.
// The two commands run interleaved, ABBA, after one unmeasured warm-up run each: first the full
// rounds, which measure all three, then the short rounds, which end each process soon after its
// first paint and add to the start-up figures only (start-up is the noisiest of the three, and a
// short round costs a second). Prints on standard output one "key value" line per result: the
// medians of each, and the medians of the per-round ratios program / baseline. Progress and per-run
// values go to standard error.
//
// quenterra-bench-launch --shim LIB --workdir DIR --program EXE --baseline EXE
//                        [--runs N] [--startup-runs N] [--idle-seconds S] [--settle-seconds S]
//                        [--timeout-seconds S]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <ctime>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Median.h"

namespace quenterra::bench {
namespace {

struct Options {
    std::string shim;
    std::string workdir;
    std::string program;
    std::string baseline;
    int runs = 5;
    int startupRuns = 10;
    double idleSeconds = 10.0;
    double settleSeconds = 1.0;
    double timeoutSeconds = 30.0;
};

struct RunResult {
    double startupMs = 0;
    double idleCpuSeconds = 0;  // scaled to exactly idleSeconds of wall time
    long peakRssKib = 0;
    std::string paintRequest;
};

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

double monotonicSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void sleepSeconds(double seconds)
{
    if (seconds <= 0) {
        return;
    }
    timespec pause{};
    pause.tv_sec = static_cast<time_t>(seconds);
    pause.tv_nsec = static_cast<long>((seconds - static_cast<double>(pause.tv_sec)) * 1e9);
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A spawned process with its own log and first-paint file.
class Child {
public:
    Child(const Options& options, const std::string& executable, const std::string& tag)
        : stampPath_(options.workdir + "/" + tag + ".paint"),
          logPath_(options.workdir + "/" + tag + ".log")
    {
        ::unlink(stampPath_.c_str());

        std::vector<std::string> environment;
        const char* preloaded = ::getenv("LD_PRELOAD");
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (text.rfind("LD_PRELOAD=", 0) == 0 || text.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
                text.rfind("QUENTERRA_BENCH_FIRST_PAINT=", 0) == 0) {
                continue;
            }
            environment.push_back(text);
        }
        environment.push_back("LD_PRELOAD=" + options.shim +
                              (preloaded != nullptr && *preloaded != '\0'
                                   ? std::string(":") + preloaded
                                   : std::string()));
        environment.emplace_back("QUENTERRA_BENCH_FIRST_PAINT=" + stampPath_);
        environment.emplace_back("QT_QPA_PLATFORM=xcb");
        std::vector<char*> envp;
        envp.reserve(environment.size() + 1);
        for (std::string& text : environment) {
            envp.push_back(text.data());
        }
        envp.push_back(nullptr);

        std::string argument0 = executable;
        char* argv[] = {argument0.data(), nullptr};

        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

        startedAt_ = monotonicSeconds();
        const int error =
            ::posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv, envp.data());
        ::posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            pid_ = -1;
            throw Failure("cannot start " + executable + ": " + std::strerror(error));
        }
    }

    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    double startedAt() const { return startedAt_; }

    // Waits for the first paint; gives its moment (CLOCK_MONOTONIC seconds) and request name.
    std::pair<double, std::string> waitForFirstPaint(double timeoutSeconds)
    {
        const double deadline = monotonicSeconds() + timeoutSeconds;
        for (;;) {
            struct stat status {};
            if (::stat(stampPath_.c_str(), &status) == 0) {
                std::istringstream line(fileText(stampPath_));
                long long seconds = 0;
                long nanoseconds = 0;
                std::string request;
                if (line >> seconds >> nanoseconds >> request) {
                    return {static_cast<double>(seconds) + static_cast<double>(nanoseconds) * 1e-9,
                            request};
                }
            }
            requireRunning("before its first paint");
            if (monotonicSeconds() > deadline) {
                throw Failure("no first paint within the time-out" + logTail());
            }
            sleepSeconds(0.005);
        }
    }

    // Sleeps, and fails when the process has ended meanwhile.
    void stayAlive(double seconds)
    {
        const double until = monotonicSeconds() + seconds;
        for (double now = monotonicSeconds(); now < until; now = monotonicSeconds()) {
            sleepSeconds(std::min(0.1, until - now));
            requireRunning("while it was idle");
        }
    }

    // The CPU time of every thread of the process so far, in seconds.
    double cpuSeconds() const
    {
        clockid_t clock{};
        timespec used{};
        if (::clock_getcpuclockid(pid_, &clock) == 0 && ::clock_gettime(clock, &used) == 0) {
            return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
        }
        // Coarser: utime and stime in clock ticks, fields 14 and 15 of /proc/<pid>/stat.
        const std::string stat = fileText("/proc/" + std::to_string(pid_) + "/stat");
        const size_t afterName = stat.rfind(')');
        if (afterName == std::string::npos) {
            throw Failure("cannot read the CPU time of process " + std::to_string(pid_));
        }
        std::istringstream fields(stat.substr(afterName + 2));
        std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
        if (values.size() < 13) {
            throw Failure("cannot read the CPU time of process " + std::to_string(pid_));
        }
        const double ticks = std::stod(values[11]) + std::stod(values[12]);
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

    // Ends the process with SIGTERM (SIGKILL when it lingers) and gives its peak RSS in KiB.
    long terminate()
    {
        ::kill(pid_, SIGTERM);
        rusage usage{};
        int status = 0;
        const double deadline = monotonicSeconds() + 5.0;
        bool killed = false;
        for (;;) {
            const pid_t ended = ::wait4(pid_, &status, WNOHANG, &usage);
            if (ended == pid_) {
                break;
            }
            if (ended < 0 && errno != EINTR) {
                throw Failure(std::string("wait4: ") + std::strerror(errno));
            }
            if (!killed && monotonicSeconds() > deadline) {
                ::kill(pid_, SIGKILL);
                killed = true;
            }
            sleepSeconds(0.005);
        }
        pid_ = -1;
        return usage.ru_maxrss;
    }

private:
    void requireRunning(const char* when)
    {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) {
            pid_ = -1;
            std::ostringstream what;
            what << "the process ended " << when << " (";
            if (WIFEXITED(status)) {
                what << "exit status " << WEXITSTATUS(status);
            } else if (WIFSIGNALED(status)) {
                what << "signal " << WTERMSIG(status);
            }
            what << ")" << logTail();
            throw Failure(what.str());
        }
    }

    std::string logTail() const
    {
        std::string log = fileText(logPath_);
        if (log.size() > 2000) {
            log = "..." + log.substr(log.size() - 2000);
        }
        return log.empty() ? std::string() : "; its output:\n" + log;
    }

    std::string stampPath_;
    std::string logPath_;
    pid_t pid_ = -1;
    double startedAt_ = 0;
};

// A full run measures all three; a short one only the start-up.
RunResult measureOnce(const Options& options, const std::string& executable, const std::string& tag,
                      bool full)
{
    Child child(options, executable, tag);
    const auto [paintedAt, request] = child.waitForFirstPaint(options.timeoutSeconds);
    RunResult result;
    result.startupMs = (paintedAt - child.startedAt()) * 1e3;
    result.paintRequest = request;
    if (!full) {
        child.stayAlive(0.3);
        child.terminate();
        return result;
    }

    child.stayAlive(options.settleSeconds);
    const double cpuBefore = child.cpuSeconds();
    const double wallBefore = monotonicSeconds();
    child.stayAlive(options.idleSeconds);
    const double cpuAfter = child.cpuSeconds();
    const double wall = monotonicSeconds() - wallBefore;
    result.idleCpuSeconds = (cpuAfter - cpuBefore) * (options.idleSeconds / wall);

    result.peakRssKib = child.terminate();
    return result;
}

// Runs far enough to have the libraries and fonts in the caches; nothing is kept.
void warmUp(const Options& options, const std::string& executable, const std::string& tag)
{
    Child child(options, executable, tag);
    child.waitForFirstPaint(options.timeoutSeconds);
    child.stayAlive(0.2);
    child.terminate();
}

void describe(const char* who, const RunResult& run, bool full)
{
    if (full) {
        std::fprintf(stderr,
                     "    %-8s start-up %7.1f ms   peak RSS %7.1f MiB   idle CPU %6.3f s   (%s)\n",
                     who, run.startupMs, static_cast<double>(run.peakRssKib) / 1024.0,
                     run.idleCpuSeconds, run.paintRequest.c_str());
    } else {
        std::fprintf(stderr, "    %-8s start-up %7.1f ms\n", who, run.startupMs);
    }
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            throw Failure("option " + name + " needs a value");
        }
        const std::string value = argv[++i];
        if (name == "--shim") {
            options.shim = value;
        } else if (name == "--workdir") {
            options.workdir = value;
        } else if (name == "--program") {
            options.program = value;
        } else if (name == "--baseline") {
            options.baseline = value;
        } else if (name == "--runs") {
            options.runs = std::stoi(value);
        } else if (name == "--startup-runs") {
            options.startupRuns = std::stoi(value);
        } else if (name == "--idle-seconds") {
            options.idleSeconds = std::stod(value);
        } else if (name == "--settle-seconds") {
            options.settleSeconds = std::stod(value);
        } else if (name == "--timeout-seconds") {
            options.timeoutSeconds = std::stod(value);
        } else {
            throw Failure("unknown option " + name);
        }
    }
    if (options.shim.empty() || options.workdir.empty() || options.program.empty() ||
        options.baseline.empty() || options.runs < 1 || options.startupRuns < 0 ||
        options.idleSeconds <= 0) {
        throw Failure(
            "usage: quenterra-bench-launch --shim LIB --workdir DIR --program EXE --baseline EXE "
            "[--runs N] [--startup-runs N] [--idle-seconds S] [--settle-seconds S] "
            "[--timeout-seconds S]");
    }
    return options;
}

int run(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    if (::getenv("DISPLAY") == nullptr) {
        throw Failure("no DISPLAY: run this on an X server (bench/run starts Xvfb)");
    }

    std::fprintf(stderr, "  warm-up\n");
    warmUp(options, options.program, "program");
    warmUp(options, options.baseline, "baseline");

    std::vector<RunResult> programRuns;
    std::vector<RunResult> baselineRuns;
    std::vector<double> programStartups;
    std::vector<double> baselineStartups;
    std::vector<double> startupRatios;
    std::vector<double> rssRatios;
    std::vector<double> idleRatios;
    const int rounds = options.runs + options.startupRuns;
    for (int round = 0; round < rounds; ++round) {
        const bool full = round < options.runs;
        std::fprintf(stderr, "  round %d of %d%s\n", round + 1, rounds, full ? "" : " (start-up)");
        RunResult program;
        RunResult baseline;
        // ABBA: the order alternates, so that a drift of the machine's load favours neither.
        if (round % 2 == 0) {
            program = measureOnce(options, options.program, "program", full);
            describe("program", program, full);
            baseline = measureOnce(options, options.baseline, "baseline", full);
            describe("baseline", baseline, full);
        } else {
            baseline = measureOnce(options, options.baseline, "baseline", full);
            describe("baseline", baseline, full);
            program = measureOnce(options, options.program, "program", full);
            describe("program", program, full);
        }
        programStartups.push_back(program.startupMs);
        baselineStartups.push_back(baseline.startupMs);
        startupRatios.push_back(program.startupMs / baseline.startupMs);
        if (!full) {
            continue;
        }
        programRuns.push_back(program);
        baselineRuns.push_back(baseline);
        rssRatios.push_back(static_cast<double>(program.peakRssKib) /
                            static_cast<double>(baseline.peakRssKib));
        if (baseline.idleCpuSeconds > 0) {
            idleRatios.push_back(program.idleCpuSeconds / baseline.idleCpuSeconds);
        }
    }

    auto column = [](const std::vector<RunResult>& runs, auto field) {
        std::vector<double> values;
        values.reserve(runs.size());
        for (const RunResult& run : runs) {
            values.push_back(static_cast<double>(field(run)));
        }
        return median(values);
    };
    const auto rss = [](const RunResult& r) { return r.peakRssKib; };
    const auto idle = [](const RunResult& r) { return r.idleCpuSeconds; };

    std::printf("runs %d\n", options.runs);
    std::printf("startup_runs %d\n", rounds);
    std::printf("idle_seconds %g\n", options.idleSeconds);
    std::printf("paint_request %s\n", programRuns.front().paintRequest.c_str());
    std::printf("paint_request_baseline %s\n", baselineRuns.front().paintRequest.c_str());
    std::printf("startup_ms_program %.1f\n", median(programStartups));
    std::printf("startup_ms_baseline %.1f\n", median(baselineStartups));
    std::printf("startup_ratio %.3f\n", median(startupRatios));
    std::printf("rss_kib_program %.0f\n", column(programRuns, rss));
    std::printf("rss_kib_baseline %.0f\n", column(baselineRuns, rss));
    std::printf("rss_ratio %.3f\n", median(rssRatios));
    std::printf("idle_cpu_s_program %.4f\n", column(programRuns, idle));
    std::printf("idle_cpu_s_baseline %.4f\n", column(baselineRuns, idle));
    std::printf("idle_ratio %.3f\n", idleRatios.empty() ? 0.0 : median(idleRatios));
    return 0;
}

}  // namespace
}  // namespace quenterra::bench

int main(int argc, char** argv)
{
    try {
        return quenterra::bench::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quenterra-bench-launch: %s\n", error.what());
        return 1;
    }
}
