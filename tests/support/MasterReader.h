#pragma once

// What arrives at the master of a real pseudo-terminal pair, whose slave the program's serial code
// opens by its path.

#include <QByteArray>
#include <QString>

#include "pty/PseudoTerminal.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace quenterra::test {

using quenterra::PseudoTerminal;

// Reads the master on a thread of its own, noting when bytes arrive and when the slave is closed
// (the master then reads end-of-line: EIO on Linux).
class MasterReader {
public:
    using Clock = std::chrono::steady_clock;

    explicit MasterReader(int master);
    ~MasterReader();
    MasterReader(const MasterReader&) = delete;
    MasterReader& operator=(const MasterReader&) = delete;

    QByteArray received() const;
    // When the last byte arrived, and when the slave was seen closed after bytes had arrived.
    Clock::time_point lastByteAt() const;
    bool closedAfterBytes() const { return closedAfterBytes_; }
    Clock::time_point closedAt() const;

private:
    void run(int master);

    mutable std::mutex mutex_;
    QByteArray received_;
    Clock::time_point lastByteAt_{};
    Clock::time_point closedAt_{};
    std::atomic<bool> closedAfterBytes_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quenterra::test
