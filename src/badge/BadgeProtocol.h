#pragma once

// The badge's side of the serial line: the line it listens on, the text that wakes it, the length
// of the sync frame that follows (its fields: SyncFrame.h), and the time the two take on the line.

#include <QString>

#include "badge/LineSettings.h"

namespace quenterra {

// The line the badge listens on: 1200 baud, no parity, 8 data bits, 1 stop bit.
inline constexpr LineSettings kBadgeLine{1200, LineSettings::NoParity, LineSettings::Data8,
                                         LineSettings::OneStop};

// The text that wakes the badge; it goes out as one byte per character, right before the frame.
inline constexpr QLatin1StringView kWakeString{"Helld"};

// The sync frame's length in bytes.
inline constexpr int kFrameLength = 7;

// The bytes of one sync: the wake string and the frame.
inline constexpr int kSyncBytes = int(kWakeString.size()) + kFrameLength;

// How long the bytes of one sync take on a line with these settings, rounded up to the
// millisecond: start bit, data bits, parity bit and stop bits each.
constexpr qint32 SyncLineMs(const LineSettings& line)
{
    const qint64 halfStopBits = line.stopBits == LineSettings::OneAndHalfStop ? 3
                                : line.stopBits == LineSettings::TwoStop      ? 4
                                                                              : 2;
    const qint64 halfBitsPerByte =
        2 * (1 + qint64(line.dataBits) + (line.parity == LineSettings::NoParity ? 0 : 1)) +
        halfStopBits;
    const qint64 halfBitsPerSecond = 2 * qint64(line.baudRate);
    return static_cast<qint32>((kSyncBytes * halfBitsPerByte * 1000 + halfBitsPerSecond - 1) /
                               halfBitsPerSecond);
}

// The time the bytes of one sync take on the badge's line (100 ms at 1200 baud 8N1).
inline constexpr qint32 kSyncLineMs = SyncLineMs(kBadgeLine);

}  // namespace quenterra
