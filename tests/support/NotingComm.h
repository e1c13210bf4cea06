#pragma once

// The real serial component, forwarding every call to it and noting, on the sync's own thread,
// when the port opened, when the wake string was handed over, when the bytes of the sync had left,
// and when the port's close began and ended. For the tests and the benchmark of the sync over a
// pseudo-terminal.

#include <chrono>
#include <functional>
#include <utility>

#include "platform/SerialComm.h"
#include "system/serial/SystemSerialComm.h"

namespace quenterra::test {

class NotingComm final : public SerialComm {
public:
    using Moment = std::chrono::steady_clock::time_point;

    explicit NotingComm(PortMap map = {}) : real(std::move(map)) {}

    SystemSerialComm real;
    Moment openedAt{};
    Moment wokenAt{};
    Moment drainedAt{};  // the first empty queue after bytes were handed over
    Moment closingAt{};
    Moment closedAt{};
    std::function<void()> afterWake;  // runs once the wake string is handed over

    // Forgets the moments of the last sync.
    void forget()
    {
        openedAt = wokenAt = drainedAt = closingAt = closedAt = Moment{};
        sent_ = false;
    }

    int commPort() const override { return real.commPort(); }
    void setCommPort(int port) override { real.setCommPort(port); }
    QString settings() const override { return real.settings(); }
    void setSettings(const QString& settings) override { real.setSettings(settings); }
    bool portOpen() const override { return real.portOpen(); }
    void setPortOpen(bool open) override
    {
        const bool wasOpen = real.portOpen();
        if (wasOpen && !open) {
            closingAt = now();
        }
        real.setPortOpen(open);
        if (wasOpen && !open) {
            closedAt = now();
        } else if (!wasOpen && open) {
            openedAt = now();
        }
    }
    bool dtrEnable() const override { return real.dtrEnable(); }
    void setDTREnable(bool enable) override { real.setDTREnable(enable); }
    void output(const QString& text) override
    {
        wokenAt = now();
        real.output(text);
        sent_ = true;
        if (afterWake) {
            afterWake();
        }
    }
    void output(const QByteArray& bytes) override
    {
        real.output(bytes);
        sent_ = true;
    }
    int outBufferCount() override
    {
        const int count = real.outBufferCount();
        if (count == 0 && sent_ && drainedAt == Moment{}) {
            drainedAt = now();
        }
        return count;
    }

private:
    static Moment now() { return std::chrono::steady_clock::now(); }

    bool sent_ = false;
};

}  // namespace quenterra::test
