#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

#include "badge/SyncFrame.h"

namespace quenterra {

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
