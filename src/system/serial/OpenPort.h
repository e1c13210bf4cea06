#pragma once

// What the serial-port component asks of the system it runs on: one implementation per system.

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

#include "badge/LineSettings.h"

namespace quenterra::serial_system {

// One open serial device. Every failure throws CommError. Once the device has gone (unplugged, or
// hung up by another program), every later call fails at once without trying the device again.
class OpenPort {
public:
    OpenPort() = default;
    OpenPort(const OpenPort&) = delete;
    OpenPort& operator=(const OpenPort&) = delete;
    // Closes the device (see Open()).
    virtual ~OpenPort() = default;

    // Sets the line: these settings, raw, without flow control. The settings the device had before
    // the first call come back when it closes, unless another program has set the line since.
    virtual void setLineSettings(const LineSettings& settings) = 0;

    // Asserts or clears DTR. A device without modem-control lines (a pseudo-terminal) counts as
    // done.
    virtual void setDtr(bool enable) = 0;

    // Hands bytes to the system for the line, without waiting for the line.
    virtual void write(const QByteArray& bytes) = 0;

    // The bytes handed over that are not on the line yet.
    virtual qint64 queued() = 0;
};

// Opens the device at `path`, which port number `port` ("COM3") stands for; `what` names it in
// messages ("COM3 (/dev/ttyUSB0)"). Throws CommError when it cannot be opened.
//
// Without line settings, to see whether it opens: the device is opened as it is. Its line
// settings, modem lines and queued bytes stay as they are, and so do the other programs' locks.
// With them, for a sync: the device is held against other programs while it is open and set to
// them; the close gives back the line settings it had where the line still has these, drops the
// bytes the system has not taken (the system's queue may hold another program's too: it stays),
// and lets go of it.
std::unique_ptr<OpenPort> Open(const QString& path, const QString& port, const QString& what,
                               const std::optional<LineSettings>& settings);

}  // namespace quenterra::serial_system
