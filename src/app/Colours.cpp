#include "app/Colours.h"

#include <cmath>

namespace quenterra {

qreal Contrast(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& colour) {
        auto linear = [](qreal channel) {
            return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const qreal first = luminance(a);
    const qreal second = luminance(b);
    return (qMax(first, second) + 0.05) / (qMin(first, second) + 0.05);
}

QColor ReadableOn(const QColor& described, const QColor& window)
{
    constexpr qreal kReadable = 4.5;
    // A window is dark where white text stands out on it more than black text does.
    if (Contrast(window, Qt::white) <= Contrast(window, Qt::black)) {
        return described;
    }
    QColor colour = described;
    for (int step = 1; step <= 255 && Contrast(colour, window) < kReadable; ++step) {
        auto mix = [step](int channel) { return channel + (255 - channel) * step / 255; };
        colour = QColor(mix(described.red()), mix(described.green()), mix(described.blue()));
    }
    return colour;
}

}  // namespace quenterra
