#pragma once

#include <QColor>

namespace quenterra {

// The contrast of two colours as WCAG defines it, from 1 (none) to 21 (black on white).
qreal Contrast(const QColor& a, const QColor& b);
// The colour a text takes on a window of the given colour: on a light window the colour as
// described; on a dark one, where the described blue and red cannot be read, the nearest colour
// of the same hue, mixed with white, that has a contrast of 4.5:1 at least.
QColor ReadableOn(const QColor& described, const QColor& window);

}  // namespace quenterra
