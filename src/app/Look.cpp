#include "app/Look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace quenterra {
namespace {

QFont boldFont(const QString& family, qreal pointSize)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QString desktopFamily() { return QApplication::font().family(); }

}  // namespace

QFont WindowFont() { return boldFont(desktopFamily(), 9.75); }

QFont TitleFont()
{
    // Heavy sans faces in order of preference; Debian's fonts-lato gives "Lato Black".
    static const char* const kHeavyFaces[] = {"Arial Black", "Lato Black", "Lato Heavy",
                                              "Noto Sans Black", "DejaVu Sans"};
    QString family = desktopFamily();
    for (const char* face : kHeavyFaces) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(face))) {
            family = QString::fromLatin1(face);
            break;
        }
    }
    QFont font = boldFont(family, 20.25);
    font.setUnderline(true);
    return font;
}

QFont CountdownFont() { return boldFont(desktopFamily(), 39); }

QImage DrawAppIcon(int size)
{
    // A badge on a lanyard ring: a dark rounded body with a glowing red LED countdown.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);

    // Ring at the top.
    painter.setPen(QPen(QColor(0x9a, 0xa5, 0xb1), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(18, 1.5, 12, 10));

    // Body.
    painter.setPen(QPen(QColor(0x0d, 0x1b, 0x2a), 2));
    painter.setBrush(QColor(0x1f, 0x3b, 0x5c));
    painter.drawRoundedRect(QRectF(2, 8, 44, 38), 7, 7);

    // Display window.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x12, 0x05, 0x05));
    painter.drawRoundedRect(QRectF(6, 15, 36, 20), 3, 3);

    // Three LED digits "8" drawn as bars, and a colon.
    painter.setBrush(QColor(0xff, 0x2a, 0x1f));
    const double digitLeft[] = {9, 19, 33};
    for (double x : digitLeft) {
        painter.drawRect(QRectF(x, 18, 6, 2));      // top
        painter.drawRect(QRectF(x, 24, 6, 2));      // middle
        painter.drawRect(QRectF(x, 30, 6, 2));      // bottom
        painter.drawRect(QRectF(x, 18, 2, 14));     // left
        painter.drawRect(QRectF(x + 4, 18, 2, 14)); // right
    }
    painter.drawRect(QRectF(28, 21, 2.5, 2.5));
    painter.drawRect(QRectF(28, 27, 2.5, 2.5));

    // Blue bar under the display, like the window's underlined title.
    painter.setBrush(QColor(0x3a, 0x7b, 0xff));
    painter.drawRoundedRect(QRectF(10, 38, 28, 3), 1.5, 1.5);
    return image;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    }
    return icon;
}

}  // namespace quenterra
