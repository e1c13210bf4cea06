#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

#include "badge/BadgeProtocol.h"
#include "countdown/Countdown.h"

namespace quenterra {

// The sync frame: byte 0 sent first.
using SyncFrame = std::array<quint8, kFrameLength>;

// Where each field sits in the sync frame. The time runs from the smallest unit up, as packed BCD;
// the days follow as three plain binary digits, most significant first; then the brightness code.
namespace frame {
inline constexpr int kSeconds = 0;
inline constexpr int kMinutes = 1;
inline constexpr int kHours = 2;
inline constexpr int kDayHundreds = 3;
inline constexpr int kDayTens = 4;
inline constexpr int kDayUnits = 5;
inline constexpr int kBrightness = 6;
}  // namespace frame

// Packed BCD of v: tens digit in the high nibble, units in the low one (59 -> 0x59).
constexpr int PackedBcd(int v)
{
    return v / 10 * 16 + v % 10;
}

// The brightness code of a level: the highest level, 4, gives the lowest code, 0; levels wrap
// around.
constexpr int BrightnessCode(int level)
{
    return (4 - level) & 3;
}

// The brightness selector's text as a level from 0 to 255 (blanks around it allowed); nullopt for
// any other text.
std::optional<int> ReadBrightnessLevel(const QString& text);

// Builds the frame from a remaining-seconds value (not range-checked here) and the brightness text.
// Each byte is formed on its own; a byte whose value falls outside 0..255 keeps 0x00, so every time
// byte of a negative value is 0x00.
SyncFrame BuildSyncFrame(qint32 remaining, const QString& brightnessText);

QByteArray FrameBytes(const SyncFrame& frame);

}  // namespace quenterra
