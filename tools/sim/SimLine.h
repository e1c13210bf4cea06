#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

#include <memory>

#include "badge/LineSettings.h"

namespace quenterra {

// The stand-in badge's end of the serial line: a pseudo-terminal of its own, or a serial device.
// Released (descriptors closed, a device's settings restored) when destroyed.
// Line settings as people write them: "1200 baud 8N1".
QString DescribeLine(const LineSettings& settings);

class SimLine {
public:
    // A new pseudo-terminal. The program opens its slave by path(); the stand-in reads the master.
    // The stand-in also keeps a slave descriptor of its own, so that the master does not read
    // end-of-line between two syncs, when the program has closed the port.
    static std::unique_ptr<SimLine> openPseudoTerminal(QString* error);

    // A serial device, set to the given line settings, raw.
    static std::unique_ptr<SimLine> openDevice(const QString& path, const LineSettings& settings,
                                               QString* error);

    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // The descriptor to read, non-blocking.
    int fd() const { return fd_; }
    // The device path: for a pseudo-terminal, the slave's path to pin.
    const QString& path() const { return path_; }
    bool isPseudoTerminal() const { return slave_ >= 0; }

    enum class Read { Bytes, Nothing, Gone };
    // Reads what is waiting, appending it to bytes. Gone when the line has ended for good (the
    // device was unplugged); error then says why.
    Read readAvailable(QByteArray& bytes, QString* error);

private:
    SimLine() = default;

    int fd_ = -1;
    int slave_ = -1;
    QString path_;
    bool restore_ = false;
    termios saved_{};
};

}  // namespace quenterra
