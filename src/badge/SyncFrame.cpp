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

namespace {

// "0x0A" for 10.
QString hexByte(quint8 byte)
{
    return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

}  // namespace

FrameReading DecodeSyncFrame(const SyncFrame& bytes)
{
    struct Field {
        int index;
        const char* name;
        bool bcd;
        int highest;
        qint32 CountdownFields::*target;
    };
    static constexpr Field kFields[] = {
        {frame::kSeconds, "seconds", true, 59, &CountdownFields::Seconds},
        {frame::kMinutes, "minutes", true, 59, &CountdownFields::Minutes},
        {frame::kHours, "hours", true, 23, &CountdownFields::Hours},
        {frame::kDayHundreds, "day hundreds digit", false, 9, nullptr},
        {frame::kDayTens, "day tens digit", false, 9, nullptr},
        {frame::kDayUnits, "day units digit", false, 9, nullptr},
    };
    auto fail = [](const QString& error) { return FrameReading{std::nullopt, error}; };

    DecodedFrame decoded;
    for (const Field& field : kFields) {
        const quint8 byte = bytes[field.index];
        const QString name = QString::fromLatin1(field.name);
        if (field.bcd && ((byte >> 4) > 9 || (byte & 0x0F) > 9)) {
            return fail(QStringLiteral("%1 byte %2 is not packed BCD (a digit above 9)")
                            .arg(name, hexByte(byte)));
        }
        const int value = field.bcd ? (byte >> 4) * 10 + (byte & 0x0F) : byte;
        if (value > field.highest) {
            return fail(
                QStringLiteral("%1 %2 out of range 0..%3").arg(name).arg(value).arg(field.highest));
        }
        if (field.target) {
            decoded.fields.*field.target = value;
        }
    }
    decoded.fields.Days =
        bytes[frame::kDayHundreds] * 100 + bytes[frame::kDayTens] * 10 + bytes[frame::kDayUnits];

    const quint8 code = bytes[frame::kBrightness];
    if (!BrightnessLevel(code)) {
        return fail(QStringLiteral("brightness code %1 above 3").arg(hexByte(code)));
    }
    decoded.brightnessCode = code;
    return {decoded, QString()};
}

}  // namespace quenterra
