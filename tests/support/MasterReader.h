#pragma once

// What arrives at the master of a real pseudo-terminal pair, whose slave the program's serial code
// opens by its path.

#include <QByteArray>
#include <QString>

#include "pty/PseudoTerminal.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace quenterra::test {

using quenterra::PseudoTerminal;

// Reads the master on a thread of its own, noting when the slave is closed after bytes arrived (the
// master then reads end-of-line: EIO on Linux).
class MasterReader {
public:
    explicit MasterReader(int master);
    ~MasterReader();
    MasterReader(const MasterReader&) = delete;
    MasterReader& operator=(const MasterReader&) = delete;

    QByteArray received() const;
    bool closedAfterBytes() const { return closedAfterBytes_; }

private:
    void run(int master);

    mutable std::mutex mutex_;
    QByteArray received_;
    std::atomic<bool> closedAfterBytes_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace quenterra::test
