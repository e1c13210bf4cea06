#pragma once

// A real pseudo-terminal pair: the program's serial code opens the slave by its path, the test
// reads what arrives at the master.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace quenterra::test {

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return master_ >= 0 && !slavePath_.isEmpty(); }
    int master() const { return master_; }
    const QString& slavePath() const { return slavePath_; }
    // Closes the master: to the slave's holder the line has gone.
    void closeMaster();

private:
    int master_ = -1;
    QString slavePath_;
};

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
