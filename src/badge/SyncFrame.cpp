#include "badge/SyncFrame.h"

namespace quenterra {

std::optional<int> ReadBrightnessLevel(const QString& text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(u'+')) {
        digits.remove(0, 1);
    }
    if (digits.isEmpty() || digits.size() > 3) {
        return std::nullopt;
    }
    int level = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        level = level * 10 + (c.unicode() - u'0');
    }
    if (level > 255) {
        return std::nullopt;
    }
    return level;
}

SyncFrame BuildSyncFrame(qint32 remaining, const QString& brightnessText)
{
    SyncFrame bytes{};
    auto store = [&bytes](int index, int value) {
        if (value >= 0 && value <= 255) {
            bytes[index] = static_cast<quint8>(value);
        }
    };
    const CountdownFields fields = SplitCountdown(remaining);
    store(frame::kSeconds, PackedBcd(fields.Seconds));
    store(frame::kMinutes, PackedBcd(fields.Minutes));
    store(frame::kHours, PackedBcd(fields.Hours));
    store(frame::kDayHundreds, fields.Days / 100);
    store(frame::kDayTens, fields.Days % 100 / 10);
    store(frame::kDayUnits, fields.Days % 10);
    if (const auto level = ReadBrightnessLevel(brightnessText)) {
        store(frame::kBrightness, BrightnessCode(*level));
    }
    return bytes;
}

QByteArray FrameBytes(const SyncFrame& frame)
{
    return {reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())};
}

}  // namespace quenterra
