#include "system/serial/LineTermios.h"

#include <utility>

namespace quenterra {
namespace {

// The termios speed of a baud rate; B0 for a rate termios has no speed for.
speed_t SpeedFor(qint32 baud)
{
    static constexpr std::pair<qint32, speed_t> kSpeeds[] = {
        {50, B50},       {75, B75},        {110, B110},   {134, B134},     {150, B150},
        {200, B200},     {300, B300},      {600, B600},   {1200, B1200},   {1800, B1800},
        {2400, B2400},   {4800, B4800},    {9600, B9600}, {19200, B19200}, {38400, B38400},
        {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, speed] : kSpeeds) {
        if (rate == baud) {
            return speed;
        }
    }
    return B0;
}

// Sets the character frame: data bits, parity and stop bits, no flow control, the receiver on.
bool SetFrame(termios& device, const LineSettings& settings)
{
    device.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    device.c_cflag &= ~CMSPAR;
#endif
    device.c_cflag |= CLOCAL | CREAD;
    switch (settings.dataBits) {
        case LineSettings::Data5:
            device.c_cflag |= CS5;
            break;
        case LineSettings::Data6:
            device.c_cflag |= CS6;
            break;
        case LineSettings::Data7:
            device.c_cflag |= CS7;
            break;
        case LineSettings::Data8:
            device.c_cflag |= CS8;
            break;
    }
    switch (settings.parity) {
        case LineSettings::NoParity:
            break;
        case LineSettings::EvenParity:
            device.c_cflag |= PARENB;
            break;
        case LineSettings::OddParity:
            device.c_cflag |= PARENB | PARODD;
            break;
        case LineSettings::MarkParity:
        case LineSettings::SpaceParity:
#ifdef CMSPAR
            device.c_cflag |=
                PARENB | CMSPAR | (settings.parity == LineSettings::MarkParity ? PARODD : 0);
            break;
#else
            return false;
#endif
    }
    if (settings.stopBits != LineSettings::OneStop) {
        device.c_cflag |= CSTOPB;  // termios has no 1.5 stop bits: a UART sends 1.5 for CS5
    }
    return true;
}

}  // namespace

bool SetRawLine(termios& line, const LineSettings& settings)
{
    termios raw = line;
    ::cfmakeraw(&raw);
    const speed_t speed = SpeedFor(settings.baudRate);
    if (speed == B0 || !SetFrame(raw, settings) || ::cfsetispeed(&raw, speed) != 0 ||
        ::cfsetospeed(&raw, speed) != 0) {
        return false;
    }
    line = raw;
    return true;
}

}  // namespace quenterra
