#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStringList>

class QComboBox;
class QLabel;

namespace quenterra {

// Positions and sizes are described in twips; 15 twips are one device-independent pixel.
constexpr int Twips(int twips)
{
    return twips / 15;
}
constexpr QRect TwipsRect(int left, int top, int width, int height)
{
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

// The window's font: 9.75 pt, bold, in "Lato" (Debian's fonts-lato), whose figures all have one
// width; where that face is missing, the desktop's own face.
QFont WindowFont();
// The title's font: "Arial Black" 20.25 pt, bold, underlined; where that face is missing, the
// heaviest sans face the machine has.
QFont TitleFont();
// The countdown's font: the window's face, 39 pt, bold.
QFont CountdownFont();

// The width a text needs in a font: its advance, or its ink where that reaches further.
qreal TextWidth(const QFont& font, const QString& text);
// The font at its own size where each of texts fits into width pixels; else at the largest size
// below, in steps of a quarter point, at which they all do. extra(font) is what the control needs
// beside the text in that font.
QFont FittedFont(QFont font, const QStringList& texts, qreal width,
                 qreal (*extra)(const QFont&) = nullptr);
// Makes a label's font just small enough that each of texts shows whole in it.
void FitLabel(QLabel* label, const QStringList& texts);
// The same for the edit field of an editable drop-down.
void FitSelector(QComboBox* combo, const QStringList& texts);

// The contrast of two colours as WCAG defines it, from 1 (none) to 21 (black on white).
qreal Contrast(const QColor& a, const QColor& b);
// The colour a text takes on a window of the given colour: on a light window the colour as
// described; on a dark one, where the described blue and red cannot be read, the nearest colour
// of the same hue, mixed with white, that has a contrast of 4.5:1 at least.
QColor ReadableOn(const QColor& described, const QColor& window);

}  // namespace quenterra
