#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

#include "badge/SyncFrame.h"

namespace quenterra {

// The level from 1 to 4 whose brightness code this is (0 -> 4, 3 -> 1); nullopt for codes above 3.
constexpr std::optional<int> BrightnessLevel(int code)
{
    if (code < 0 || code > 3) {
        return std::nullopt;
    }
    return 4 - code;
}

// What a well-formed sync frame carries.
struct DecodedFrame {
    CountdownFields fields;  // 0 to 999 days 23:59:59
    int brightnessCode = 0;  // 0 to 3

    qint32 remaining() const
    {
        return ((fields.Days * 24 + fields.Hours) * 60 + fields.Minutes) * 60 + fields.Seconds;
    }
    friend bool operator==(const DecodedFrame&, const DecodedFrame&) = default;
};

// The outcome of reading a sync frame: the frame, or what is wrong with it.
struct FrameReading {
    std::optional<DecodedFrame> frame;
    QString error;  // empty when frame holds a value
};

// The inverse of BuildSyncFrame. Fails, naming the first bad byte, on a BCD digit above 9, a field
// out of its range (seconds and minutes 0..59, hours 0..23, each day digit 0..9) or a brightness
// code above 3.
FrameReading DecodeSyncFrame(const SyncFrame& bytes);

// The countdown as the badge shows it: "123:04:05:06", the days in three digits.
QString BadgeCountdownText(const CountdownFields& fields);

// What the badge makes of the bytes on its line: a sync, or a stretch of bytes it skipped and why.
struct BadgeEvent {
    std::optional<DecodedFrame> synced;
    QString error;  // set when synced is empty

    // One line for a person: "synced 123:04:05:06 brightness 4 (code 0x00)" or the error text.
    QString describe() const;
};

// The receiving end of the serial line, as the badge reads it: it waits for the wake string, takes
// the 7 bytes after it as a sync frame and decodes them. Bytes that are not the wake string, a sync
// cut short (a gap of more than 100 ms before its next byte) and a frame that does not decode are
// reported and skipped; listening goes on at the next byte. No I/O: the caller hands in the bytes
// with the moment they arrived, in milliseconds on any steady clock.
class BadgeStream {
public:
    // The longest silence within one sync.
    static constexpr qint64 kGapLimitMs = 100;
    // Skipped bytes are reported in runs of at most this many, so a steady stream of them is seen.
    static constexpr qsizetype kLongestSkippedRun = 64;

    std::vector<BadgeEvent> feed(QByteArrayView bytes, qint64 atMs);

    // The silence after the last byte, up to now: ends a sync cut short and reports skipped bytes.
    std::vector<BadgeEvent> expire(qint64 nowMs);

    // When expire() would next have something to say; nullopt while nothing is pending.
    std::optional<qint64> deadline() const;

private:
    void take(char byte, std::vector<BadgeEvent>& events);
    void endSilence(qint64 nowMs, std::vector<BadgeEvent>& events);
    void reportSkipped(std::vector<BadgeEvent>& events);

    QByteArray skipped_;  // bytes that are not the wake string, not yet reported
    QByteArray wake_;     // the start of the wake string, so far
    QByteArray frame_;    // the frame bytes after a complete wake string
    bool inFrame_ = false;
    qint64 lastByteAt_ = 0;
};

}  // namespace quenterra
