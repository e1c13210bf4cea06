#pragma once

// A stand-in for the serial-port component.

#include <QStringList>

#include <algorithm>
#include <functional>
#include <set>

#include "platform/SerialComm.h"

namespace quenterra::test {

// A serial-port component that keeps a log of what was done to it. The ports in `openable` open,
// those in `refused` are refused for lack of permission; the fail* switches make single operations
// throw.
class FakeSerialComm final : public SerialComm {
public:
    std::set<int> openable{1, 2, 3};
    std::set<int> refused;
    bool opensButReadsClosed = false;
    bool failSetCommPort = false;
    bool failSettings = false;
    bool failPortOpenRead = false;
    mutable int failOpenReadOnceOn = 0;  // the first read of the open state while this port is open
    bool failClose = false;
    bool failDtr = false;
    bool failTextOutput = false;
    bool failByteOutput = false;
    bool failOutBufferCount = false;
    // Bytes that leave the queue per read of outBufferCount; 0 means the queue never drains.
    int drainPerRead = 1000;

    QStringList log;  // "CommPort=3", "Settings=1200,n,8,1", "PortOpen=true", "DTREnable=true", ...
    QByteArray sent;  // every byte handed to output, in order
    std::function<void()> onOutput;  // runs as bytes are handed to output

    int commPort() const override { return port_; }
    void setCommPort(int port) override
    {
        if (failSetCommPort || open_) {
            throw CommError(CommError::Kind::InvalidValue, QStringLiteral("refused"));
        }
        port_ = port;
        log << QStringLiteral("CommPort=%1").arg(port);
    }
    QString settings() const override { return settings_; }
    void setSettings(const QString& settings) override
    {
        if (failSettings) {
            throw CommError(CommError::Kind::InvalidValue, QStringLiteral("refused"));
        }
        settings_ = settings;
        log << QStringLiteral("Settings=") + settings;
    }
    bool portOpen() const override
    {
        if (failPortOpenRead || (open_ && port_ == failOpenReadOnceOn)) {
            failOpenReadOnceOn = 0;
            throw CommError(CommError::Kind::Device, QStringLiteral("cannot read"));
        }
        return open_;
    }
    void setPortOpen(bool open) override
    {
        if (!open) {
            if (failClose) {
                throw CommError(CommError::Kind::Device, QStringLiteral("cannot close"));
            }
            if (open_) {
                log << QStringLiteral("PortOpen=false");
            }
            open_ = false;
            return;
        }
        if (open_) {
            throw CommError(CommError::Kind::InvalidValue, QStringLiteral("already open"));
        }
        if (refused.contains(port_)) {
            throw CommError(CommError::Kind::PermissionDenied,
                            QStringLiteral("COM%1 is refused").arg(port_));
        }
        if (!openable.contains(port_)) {
            throw CommError(CommError::Kind::NoSuchPort,
                            QStringLiteral("COM%1 is not there").arg(port_));
        }
        log << QStringLiteral("PortOpen=true");
        open_ = !opensButReadsClosed;
    }
    bool dtrEnable() const override { return dtr_; }
    void setDTREnable(bool enable) override
    {
        if (failDtr) {
            throw CommError(CommError::Kind::Device, QStringLiteral("no DTR"));
        }
        dtr_ = enable;
        log << QStringLiteral("DTREnable=%1").arg(enable ? "true" : "false");
    }
    void output(const QString& text) override
    {
        if (failTextOutput) {
            throw CommError(CommError::Kind::Device, QStringLiteral("write failed"));
        }
        queue(text.toLatin1());
        log << QStringLiteral("Output=") + text;
    }
    void output(const QByteArray& bytes) override
    {
        if (failByteOutput) {
            throw CommError(CommError::Kind::Device, QStringLiteral("write failed"));
        }
        queue(bytes);
        log << QStringLiteral("Output=") + QString::fromLatin1(bytes.toHex(' '));
    }
    int outBufferCount() override
    {
        if (failOutBufferCount) {
            throw CommError(CommError::Kind::Device, QStringLiteral("gone"));
        }
        const int count = pending_;
        pending_ = std::max(0, pending_ - drainPerRead);
        return count;
    }

private:
    void queue(const QByteArray& bytes)
    {
        if (!open_) {
            throw CommError(CommError::Kind::NotOpen, QStringLiteral("not open"));
        }
        sent += bytes;
        pending_ += static_cast<int>(bytes.size());
        if (onOutput) {
            onOutput();
        }
    }

    int port_ = 1;
    QString settings_;  // none until given, as the real component
    bool open_ = false;
    bool dtr_ = false;
    int pending_ = 0;
};

}  // namespace quenterra::test
