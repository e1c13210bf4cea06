#pragma once

#include <QString>

#include <optional>

namespace quenterra {

// Line settings: baud rate, parity, data bits and stop bits.
struct LineSettings {
    enum Parity { NoParity, EvenParity, OddParity, MarkParity, SpaceParity };
    enum DataBits { Data5 = 5, Data6 = 6, Data7 = 7, Data8 = 8 };
    enum StopBits { OneStop, OneAndHalfStop, TwoStop };

    qint32 baudRate = 9600;
    Parity parity = NoParity;
    DataBits dataBits = Data8;
    StopBits stopBits = OneStop;
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// The text the serial component takes: "1200,n,8,1" (parity n, e, o, m or s; stop bits 1, 1.5 or
// 2).
QString LineSettingsText(const LineSettings& settings);

// Reads "baud,parity,data,stop" such as "1200,n,8,1": baud a positive whole number, parity one of
// n e o m s (either case), data bits 5 to 8, stop bits 1, 1.5 or 2. Blanks around the fields are
// allowed. Anything else gives nothing.
std::optional<LineSettings> ParseLineSettings(const QString& text);

}  // namespace quenterra
