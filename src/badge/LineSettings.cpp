#include "badge/LineSettings.h"

#include <QStringList>

#include <algorithm>

namespace quenterra {

namespace {

std::optional<LineSettings::Parity> ParityFrom(const QString& field)
{
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field.front().toLower().unicode()) {
        case u'n':
            return LineSettings::NoParity;
        case u'e':
            return LineSettings::EvenParity;
        case u'o':
            return LineSettings::OddParity;
        case u'm':
            return LineSettings::MarkParity;
        case u's':
            return LineSettings::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<LineSettings::DataBits> DataBitsFrom(const QString& field)
{
    static const QStringList kAccepted{QStringLiteral("5"), QStringLiteral("6"),
                                       QStringLiteral("7"), QStringLiteral("8")};
    if (!kAccepted.contains(field)) {
        return std::nullopt;
    }
    return static_cast<LineSettings::DataBits>(field.toInt());
}

std::optional<LineSettings::StopBits> StopBitsFrom(const QString& field)
{
    if (field == u"1") {
        return LineSettings::OneStop;
    }
    if (field == u"1.5") {
        return LineSettings::OneAndHalfStop;
    }
    if (field == u"2") {
        return LineSettings::TwoStop;
    }
    return std::nullopt;
}

}  // namespace

QString LineSettingsText(const LineSettings& settings)
{
    static constexpr char kParities[] = {'n', 'e', 'o', 'm', 's'};
    QString stopBits = QStringLiteral("1");
    if (settings.stopBits == LineSettings::OneAndHalfStop) {
        stopBits = QStringLiteral("1.5");
    } else if (settings.stopBits == LineSettings::TwoStop) {
        stopBits = QStringLiteral("2");
    }
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QLatin1Char(kParities[settings.parity]))
        .arg(int(settings.dataBits))
        .arg(stopBits);
}

std::optional<LineSettings> ParseLineSettings(const QString& text)
{
    QStringList fields = text.split(u',');
    if (fields.size() != 4) {
        return std::nullopt;
    }
    for (QString& field : fields) {
        field = field.trimmed();
    }

    const QString& baud = fields[0];
    const bool digitsOnly = !baud.isEmpty() && std::all_of(baud.begin(), baud.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    bool inRange = false;
    const int baudRate = digitsOnly ? baud.toInt(&inRange) : 0;
    const auto parity = ParityFrom(fields[1]);
    const auto dataBits = DataBitsFrom(fields[2]);
    const auto stopBits = StopBitsFrom(fields[3]);
    if (!inRange || baudRate <= 0 || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineSettings{baudRate, *parity, *dataBits, *stopBits};
}

}  // namespace quenterra
