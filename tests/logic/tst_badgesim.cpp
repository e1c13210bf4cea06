// The badge's side of the line: the sync frame read back, and the byte stream the stand-in badge
// listens to, with the moment each chunk of bytes arrived.

#include <QTest>

#include <algorithm>

#include "badge/SyncFrame.h"
#include "sim/BadgeStream.h"
#include "support/TestMain.h"

using namespace quenterra;

namespace {

struct Chunk {
    qint64 at;  // ms
    QByteArray bytes;
};
using Chunks = QList<Chunk>;

const QByteArray kWake = QByteArrayLiteral("Helld");
// 123 days 04:05:06, brightness 4.
const QByteArray kFrame = QByteArray::fromHex("06050401020300");
const QString kSynced = QStringLiteral("synced 123:04:05:06 brightness 4 (code 0x00)");

// Feeds the chunks, then lets the line fall silent for good, and gives every event as its line.
QStringList listen(const Chunks& chunks)
{
    BadgeStream stream;
    QStringList lines;
    auto note = [&lines](const std::vector<BadgeEvent>& events) {
        for (const BadgeEvent& event : events) {
            lines << event.describe();
        }
    };
    for (const Chunk& chunk : chunks) {
        note(stream.feed(chunk.bytes, chunk.at));
    }
    if (const auto due = stream.deadline()) {
        note(stream.expire(*due));  // not yet: the gap is not over
        note(stream.expire(*due + 1));
    }
    if (stream.deadline()) {
        lines << QStringLiteral("still pending after the silence");
    }
    return lines;
}

// The same bytes, each byte a chunk of its own arriving at its chunk's moment.
Chunks byteByByte(const Chunks& chunks)
{
    Chunks single;
    for (const Chunk& chunk : chunks) {
        for (const char byte : chunk.bytes) {
            single.append({chunk.at, QByteArray(1, byte)});
        }
    }
    return single;
}

}  // namespace

Q_DECLARE_METATYPE(Chunks)

class TestBadgeSim : public QObject {
    Q_OBJECT

private slots:
    // Remaining values from zero to the largest, in steps that meet every digit of every field,
    // with each brightness level in turn.
    void decodeReadsBackWhatWasBuilt()
    {
        QList<qint32> values;
        for (qint32 remaining = 0; remaining < kCountdownLimit; remaining += 9973) {
            values << remaining;
        }
        values << kCountdownLimit - 1;
        for (qsizetype i = 0; i < values.size(); ++i) {
            const qint32 remaining = values[i];
            const int level = 1 + int(i % 4);
            const FrameReading reading =
                DecodeSyncFrame(BuildSyncFrame(remaining, QString::number(level)));
            QVERIFY2(reading.frame && reading.frame->remaining() == remaining &&
                         BrightnessLevel(reading.frame->brightnessCode) == level,
                     qPrintable(QStringLiteral("%1 s, level %2: %3")
                                    .arg(remaining)
                                    .arg(level)
                                    .arg(reading.error)));
        }
    }

    void decodeErrors_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("error");
        auto row = [](const char* name, const char* hex, const char* error) {
            QTest::newRow(name) << QByteArray(hex) << QString::fromLatin1(error);
        };
        row("seconds units digit A", "5A 05 04 01 02 03 00",
            "seconds byte 0x5A is not packed BCD (a digit above 9)");
        row("minutes tens digit F", "06 F0 04 01 02 03 00",
            "minutes byte 0xF0 is not packed BCD (a digit above 9)");
        row("hours units digit B", "06 05 1B 01 02 03 00",
            "hours byte 0x1B is not packed BCD (a digit above 9)");
        row("60 seconds", "60 05 04 01 02 03 00", "seconds 60 out of range 0..59");
        row("99 minutes", "06 99 04 01 02 03 00", "minutes 99 out of range 0..59");
        row("24 hours", "06 05 24 01 02 03 00", "hours 24 out of range 0..23");
        row("day hundreds 10", "06 05 04 0A 02 03 00", "day hundreds digit 10 out of range 0..9");
        row("day units 255", "06 05 04 01 02 FF 00", "day units digit 255 out of range 0..9");
        row("brightness code 4", "06 05 04 01 02 03 04", "brightness code 0x04 above 3");
        row("the first bad byte is named", "6A 05 24 0A 02 03 09",
            "seconds byte 0x6A is not packed BCD (a digit above 9)");
    }

    void decodeErrors()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, error);
        SyncFrame bytes{};
        std::ranges::copy(QByteArray::fromHex(frame), bytes.begin());
        const FrameReading reading = DecodeSyncFrame(bytes);
        QVERIFY(!reading.frame);
        QCOMPARE(reading.error, error);
    }

    void stream_data()
    {
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<QStringList>("lines");
        const QByteArray sync = kWake + kFrame;

        QTest::newRow("wake and frame in one chunk") << Chunks{{0, sync}} << QStringList{kSynced};
        Chunks paced;  // one byte every 8 ms, as 1200 baud delivers them
        for (qsizetype i = 0; i < sync.size(); ++i) {
            paced.append({1000 + 8 * i, sync.mid(i, 1)});
        }
        QTest::newRow("one byte at a time, at line speed") << paced << QStringList{kSynced};
        QTest::newRow("a gap of exactly 100 ms within the sync")
            << Chunks{{0, kWake + kFrame.left(3)}, {100, kFrame.mid(3)}} << QStringList{kSynced};
        QTest::newRow("a frame byte that looks like the wake string's first")
            << Chunks{{0, kWake + QByteArray::fromHex("48 59 23 09 09 09 03")}}
            << QStringList{"synced 999:23:59:48 brightness 1 (code 0x03)"};
        QTest::newRow("two syncs back to back")
            << Chunks{{0, sync + kWake + QByteArray::fromHex("05050401020302")}}
            << QStringList{kSynced, "synced 123:04:05:05 brightness 2 (code 0x02)"};

        QTest::newRow("garbage before the wake string")
            << Chunks{{0, QByteArray::fromHex("00 FF 0D")}, {20, sync}}
            << QStringList{"skipped 3 bytes that are not the wake string: 00 FF 0D", kSynced};
        QTest::newRow("a partial wake string followed by garbage")
            << Chunks{{0, "Hel"}, {5, "x"}, {10, sync}}
            << QStringList{"skipped 4 bytes that are not the wake string: 48 65 6C 78", kSynced};
        QTest::newRow("a wake string started twice")
            << Chunks{{0, "He" + sync}}
            << QStringList{"skipped 2 bytes that are not the wake string: 48 65", kSynced};
        QTest::newRow("one stray byte, then silence")
            << Chunks{{0, "\n"}} << QStringList{"skipped 1 byte that is not the wake string: 0A"};
        QTest::newRow("a long run of garbage is reported in parts")
            << Chunks{{0, QByteArray(70, 'x')}}
            << QStringList{"skipped 64 bytes that are not the wake string: " +
                               QStringList(64, QStringLiteral("78")).join(u' '),
                           "skipped 6 bytes that are not the wake string: 78 78 78 78 78 78"};

        QTest::newRow("a frame cut short, then silence")
            << Chunks{{0, kWake + kFrame.left(3)}}
            << QStringList{"frame cut short after 3 of 7 bytes: 06 05 04"};
        QTest::newRow("a wake string with no frame after it")
            << Chunks{{0, kWake}} << QStringList{"frame cut short after 0 of 7 bytes"};
        QTest::newRow("a frame cut short by a gap of 101 ms, then a whole sync")
            << Chunks{{0, kWake + kFrame.left(6)}, {101, sync}}
            << QStringList{"frame cut short after 6 of 7 bytes: 06 05 04 01 02 03", kSynced};
        QTest::newRow("a wake string cut short by a gap")
            << Chunks{{0, "Hel"}, {500, "ld" + kFrame}}
            << QStringList{"skipped 3 bytes that are not the wake string: 48 65 6C",
                           "skipped 9 bytes that are not the wake string: 6C 64 06 05 04 01 02 "
                           "03 00"};

        QTest::newRow("a bad frame is skipped and the next sync read")
            << Chunks{{0, kWake + QByteArray::fromHex("06 05 24 01 02 03 00")}, {1000, sync}}
            << QStringList{"bad frame 06 05 24 01 02 03 00: hours 24 out of range 0..23", kSynced};
    }

    // How the bytes are split into chunks must not matter, only when they arrive.
    void stream()
    {
        QFETCH(Chunks, chunks);
        QFETCH(QStringList, lines);
        QCOMPARE(listen(chunks), lines);
        QCOMPARE(listen(byteByByte(chunks)), lines);
    }
};

QUENTERRA_TEST_MAIN(TestBadgeSim)
#include "tst_badgesim.moc"
