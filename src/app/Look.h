#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRect>

namespace quenterra {

// Positions and sizes are described in twips; 15 twips are one device-independent pixel.
constexpr int Twips(int twips) { return twips / 15; }
constexpr QRect TwipsRect(int left, int top, int width, int height)
{
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

// The window's font: the desktop's own face, 9.75 pt, bold.
QFont WindowFont();
// The title's font: "Arial Black" 20.25 pt, bold, underlined; where that face is missing, the heaviest
// sans face the machine has.
QFont TitleFont();
// The countdown's font: the desktop's own face, 39 pt, bold.
QFont CountdownFont();

// The program's icon, drawn at size x size pixels.
QImage DrawAppIcon(int size);
// The icon with its 16, 32 and 48 pixel images.
QIcon AppIcon();

}  // namespace quenterra
