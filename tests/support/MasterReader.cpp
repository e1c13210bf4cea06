#include "support/MasterReader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

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

void MasterReader::run(int master)
{
    while (!stop_) {
        pollfd watch{master, POLLIN, 0};
        if (::poll(&watch, 1, 5) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        const std::lock_guard lock(mutex_);
        if (count > 0) {
            received_.append(buffer, count);
        } else if (count < 0 && errno == EAGAIN) {
            continue;
        } else {
            // No holder of the slave is left. Before the program ever opened it this is the
            // normal state, so only a close after bytes counts.
            closedAfterBytes_ = !received_.isEmpty();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

}  // namespace quenterra::test
