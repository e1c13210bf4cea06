#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <stdexcept>

namespace quenterra {

// A failure of the serial-port component, with a text for people.
class CommError : public std::runtime_error {
public:
    enum class Kind {
        NoSuchPort,        // the port number stands for no device
        PermissionDenied,  // the device exists but the user may not open it
        Busy,              // another program holds it
        InvalidValue,      // a property value the component refuses
        NotOpen,           // an operation that needs the open port
        Device,            // any other failure of the device or the system
    };
    CommError(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString()), kind_(kind)
    {
    }
    Kind kind() const { return kind_; }
    QString message() const { return QString::fromStdString(what()); }

private:
    Kind kind_;
};

// The serial-port component. Every operation that fails throws CommError; tryOpen() gives it back.
class SerialComm {
public:
    virtual ~SerialComm() = default;

    // The port number (1 to 32) that the next open uses. Cannot change while the port is open.
    virtual int commPort() const = 0;
    virtual void setCommPort(int port) = 0;

    // Line settings for the next open, as text: "1200,n,8,1" (baud, parity n/e/o/m/s, data bits,
    // stop bits 1, 1.5 or 2). Empty until set: an open without line settings opens the device as
    // it is, to see whether it opens, and changes none of its settings.
    virtual QString settings() const = 0;
    virtual void setSettings(const QString& settings) = 0;

    // Setting true opens the port that commPort names; setting false closes it (nothing happens
    // when it is not open). Reading tells whether it is open.
    virtual bool portOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;

    // Opens the port as setPortOpen(true) does, and gives back the failure instead of throwing it:
    // nothing when it opened. The port probe tries many numbers that stand for no device, which a
    // component may tell without the cost of an exception.
    virtual std::optional<CommError> tryOpen()
    {
        try {
            setPortOpen(true);
        } catch (const CommError& error) {
            return error;
        }
        return std::nullopt;
    }

    // While true and the port is open, DTR is asserted.
    virtual bool dtrEnable() const = 0;
    virtual void setDTREnable(bool enable) = 0;

    // Queues bytes for transmission and returns without waiting for the line. A text goes out as
    // one byte per character.
    virtual void output(const QString& text) = 0;
    virtual void output(const QByteArray& bytes) = 0;

    // Bytes queued but not yet on the line.
    virtual int outBufferCount() = 0;
};

}  // namespace quenterra
