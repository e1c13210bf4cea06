#include "support/MasterReader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace quenterra::test {

MasterReader::MasterReader(int master) : thread_([this, master] { run(master); }) {}

MasterReader::~MasterReader()
{
    stop_ = true;
    thread_.join();
}

QByteArray MasterReader::received() const
{
    const std::lock_guard lock(mutex_);
    return received_;
}

MasterReader::Clock::time_point MasterReader::lastByteAt() const
{
    const std::lock_guard lock(mutex_);
    return lastByteAt_;
}

MasterReader::Clock::time_point MasterReader::closedAt() const
{
    const std::lock_guard lock(mutex_);
    return closedAt_;
}

void MasterReader::run(int master)
{
    while (!stop_) {
        pollfd watch{master, POLLIN, 0};
        if (::poll(&watch, 1, 5) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        const auto now = Clock::now();
        const std::lock_guard lock(mutex_);
        if (count > 0) {
            received_.append(buffer, count);
            lastByteAt_ = now;
        } else if (count < 0 && errno == EAGAIN) {
            continue;
        } else {
            // No holder of the slave is left. Before the program ever opened it this is the
            // normal state, so only a close after bytes counts.
            if (!received_.isEmpty() && !closedAfterBytes_) {
                closedAt_ = now;
                closedAfterBytes_ = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

}  // namespace quenterra::test
