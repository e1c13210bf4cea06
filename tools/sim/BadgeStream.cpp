#include "sim/BadgeStream.h"

#include <algorithm>

namespace quenterra {

namespace {

// "0x0A" for 10.
QString hexByte(quint8 byte)
{
    return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

const QByteArray& wakeBytes()
{
    static const QByteArray bytes(kWakeString.data(), kWakeString.size());
    return bytes;
}

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

BadgeEvent failure(const QString& text)
{
    return {std::nullopt, text};
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

QString BadgeCountdownText(const CountdownFields& fields)
{
    return QStringLiteral("%1:%2:%3:%4")
        .arg(fields.Days, 3, 10, QChar(u'0'))
        .arg(fields.Hours, 2, 10, QChar(u'0'))
        .arg(fields.Minutes, 2, 10, QChar(u'0'))
        .arg(fields.Seconds, 2, 10, QChar(u'0'));
}

QString BadgeEvent::describe() const
{
    if (!synced) {
        return error;
    }
    return QStringLiteral("synced %1 brightness %2 (code 0x%3)")
        .arg(BadgeCountdownText(synced->fields))
        .arg(BrightnessLevel(synced->brightnessCode).value_or(0))
        .arg(synced->brightnessCode, 2, 16, QChar(u'0'));
}

std::vector<BadgeEvent> BadgeStream::feed(QByteArrayView bytes, qint64 atMs)
{
    std::vector<BadgeEvent> events;
    if (bytes.isEmpty()) {
        return events;
    }
    endSilence(atMs, events);
    for (const char byte : bytes) {
        take(byte, events);
    }
    lastByteAt_ = atMs;
    return events;
}

std::vector<BadgeEvent> BadgeStream::expire(qint64 nowMs)
{
    std::vector<BadgeEvent> events;
    endSilence(nowMs, events);
    return events;
}

std::optional<qint64> BadgeStream::deadline() const
{
    if (skipped_.isEmpty() && wake_.isEmpty() && !inFrame_) {
        return std::nullopt;
    }
    return lastByteAt_ + kGapLimitMs;
}

void BadgeStream::take(char byte, std::vector<BadgeEvent>& events)
{
    if (inFrame_) {
        frame_.append(byte);
        if (frame_.size() < kFrameLength) {
            return;
        }
        SyncFrame bytes;
        std::copy(frame_.begin(), frame_.end(), bytes.begin());
        const FrameReading reading = DecodeSyncFrame(bytes);
        events.push_back(
            reading.frame
                ? BadgeEvent{reading.frame, QString()}
                : failure(QStringLiteral("bad frame %1: %2").arg(hex(frame_), reading.error)));
        frame_.clear();
        inFrame_ = false;
        return;
    }

    // Keep the longest tail that can still grow into the wake string; what falls off is skipped.
    wake_.append(byte);
    while (!wakeBytes().startsWith(wake_)) {
        skipped_.append(wake_.front());
        wake_.remove(0, 1);
        if (skipped_.size() >= kLongestSkippedRun) {
            reportSkipped(events);
        }
    }
    if (wake_ == wakeBytes()) {
        reportSkipped(events);
        wake_.clear();
        inFrame_ = true;
    }
}

void BadgeStream::endSilence(qint64 nowMs, std::vector<BadgeEvent>& events)
{
    const auto due = deadline();
    if (!due || nowMs <= *due) {
        return;
    }
    if (inFrame_) {
        const QString got = QStringLiteral("frame cut short after %1 of %2 bytes")
                                .arg(frame_.size())
                                .arg(kFrameLength);
        events.push_back(
            failure(frame_.isEmpty() ? got : got + QStringLiteral(": ") + hex(frame_)));
        frame_.clear();
        inFrame_ = false;
    }
    skipped_.append(wake_);  // a wake string cut short is no wake string
    wake_.clear();
    reportSkipped(events);
}

void BadgeStream::reportSkipped(std::vector<BadgeEvent>& events)
{
    if (skipped_.isEmpty()) {
        return;
    }
    events.push_back(
        failure(QStringLiteral("skipped %1 %2 that %3 not the wake string: %4")
                    .arg(skipped_.size())
                    .arg(skipped_.size() == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"),
                         skipped_.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                         hex(skipped_))));
    skipped_.clear();
}

}  // namespace quenterra
