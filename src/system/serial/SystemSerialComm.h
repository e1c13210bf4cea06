#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "badge/LineSettings.h"
#include "badge/PortMap.h"
#include "platform/SerialComm.h"

namespace quenterra {

namespace serial_system {
class OpenPort;
}

// The serial-port component over the system's serial devices. Port numbers stand for the devices
// of a PortMap. The port opens for writing without flow control; nothing is ever read.
//
// It holds no line settings until it is given some. An open without them only looks: the device is
// opened as it is and closed as it was found, its line settings, modem lines, queued bytes and the
// other programs' locks untouched (the port probe). An open with them (a sync) refuses a device
// another program holds, holds it the same ways (a lock file and an flock, on Unix-like systems)
// while open, sets the line, and on closing gives the device its former line settings back where it
// still has the ones set here.
class SystemSerialComm final : public SerialComm {
public:
    explicit SystemSerialComm(PortMap portMap = {});
    ~SystemSerialComm() override;
    SystemSerialComm(const SystemSerialComm&) = delete;
    SystemSerialComm& operator=(const SystemSerialComm&) = delete;

    // The map the next open uses; replacing it leaves an open port as it is.
    void setPortMap(const PortMap& portMap) { portMap_ = portMap; }

    int commPort() const override { return commPort_; }
    void setCommPort(int port) override;

    // Empty until settings are given. Setting them takes effect at once when the port is open.
    QString settings() const override { return settingsText_; }
    void setSettings(const QString& settings) override;

    bool portOpen() const override;
    // Closing drops the bytes still waiting in this program (wait for outBufferCount() == 0
    // first) and leaves the system's queue, where another program's may wait, to the system; it
    // does not wait long for a line that does not drain.
    void setPortOpen(bool open) override;
    std::optional<CommError> tryOpen() override;

    // An open with line settings asserts DTR when this is true and otherwise leaves the line as the
    // system sets it on opening, so that an open never pulses it; setting false while open clears
    // DTR. An open without line settings never touches it.
    bool dtrEnable() const override { return dtrEnable_; }
    void setDTREnable(bool enable) override;

    void output(const QString& text) override;
    void output(const QByteArray& bytes) override;

    // Bytes still waiting in this program plus those in the system's transmit queue.
    int outBufferCount() override;

private:
    QString portLabel() const;
    CommError noSuchPort() const;
    void open();
    void close();
    void requireOpen(const char* operation) const;

    PortMap portMap_;
    int commPort_ = 1;
    std::optional<LineSettings> lineSettings_;
    QString settingsText_;
    bool dtrEnable_ = false;
    std::unique_ptr<serial_system::OpenPort> port_;  // set while open
    QString openPath_;                               // the device the open port stands for
};

}  // namespace quenterra
