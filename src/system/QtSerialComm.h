#pragma once

#include <QSerialPort>
#include <QString>

#include <memory>

#include "badge/LineSettings.h"
#include "badge/PortMap.h"
#include "platform/SerialComm.h"
#include "system/DeviceClaim.h"

namespace quenterra {

// What to tell a user who may not open the device at `devicePath`: on Unix-like systems, the
// group that owns it and how to join that group.
QString DeviceAccessAdvice(const QString& devicePath);

// The serial-port component over QSerialPort. Port numbers stand for the devices of a PortMap.
// The port opens for writing (and where the system asks for it, for reading, but nothing is read)
// without flow control; queued bytes move to the device while the event loop runs. A device
// another program holds is refused as Busy and left as it is; while the port is open this program
// holds it the same ways (a lock file, an flock, the exclusive flag).
class QtSerialComm final : public SerialComm {
public:
    explicit QtSerialComm(PortMap portMap = {});
    ~QtSerialComm() override;
    QtSerialComm(const QtSerialComm&) = delete;
    QtSerialComm& operator=(const QtSerialComm&) = delete;

    // The map the next open uses; replacing it leaves an open port as it is.
    void setPortMap(const PortMap& portMap) { portMap_ = portMap; }

    int commPort() const override { return commPort_; }
    void setCommPort(int port) override;

    QString settings() const override { return settingsText_; }
    // Takes effect at once when the port is open.
    void setSettings(const QString& settings) override;

    bool portOpen() const override;
    // Closing discards bytes that have not reached the line yet (wait for outBufferCount() == 0
    // first), so it never waits for a slow line to drain.
    void setPortOpen(bool open) override;

    // The open asserts DTR when this is true and otherwise leaves the line as the system sets it on
    // opening, so that an open never pulses it; setting false while open clears DTR.
    bool dtrEnable() const override { return dtrEnable_; }
    void setDTREnable(bool enable) override;

    void output(const QString& text) override;
    void output(const QByteArray& bytes) override;

    // Bytes still in this program's buffer plus those in the system's transmit queue.
    int outBufferCount() override;

private:
    QString portLabel() const;
    void open();
    void close();
    void requireOpen(const char* operation) const;
    void throwIfDeviceFailed();
    void applyDtr(bool enable);

    PortMap portMap_;
    int commPort_ = 1;
    LineSettings lineSettings_;
    QString settingsText_ = QStringLiteral("9600,n,8,1");
    bool dtrEnable_ = false;
    DeviceClaim claim_;                  // held while open
    std::unique_ptr<QSerialPort> port_;  // set while open
    QString openPath_;                   // the device the open port stands for
};

}  // namespace quenterra
