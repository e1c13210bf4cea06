#include "app/Look.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <cmath>

#include "app/SlimComboStyle.h"

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
    // The window's texts are Latin letters, figures and punctuation: laid out from the font's
    // advances and its kerning table rather than by the OpenType shaper, which would copy each
    // face's layout tables into memory for every size at the first text. Scripts that need
    // shaping (a clock in Arabic or Devanagari, say) are still shaped.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QString desktopFamily()
{
    return QApplication::font().family();
}

bool Installed(const QString& family)
{
    // Looked up in the list of families: QFontDatabase::hasFamily() would ask fontconfig for each.
    static const QStringList kFamilies = QFontDatabase::families();
    return kFamilies.contains(family, Qt::CaseInsensitive);
}

QString WindowFamily()
{
    static const QString kLato = QStringLiteral("Lato");
    return Installed(kLato) ? kLato : desktopFamily();
}

// The smallest size fitting goes down to; below it a text is left to be cut rather than unread.
constexpr qreal kSmallestPointSize = 6;

// What a line edit needs beside its text: its margins of 2 pixels each side and the cursor.
qreal lineEditExtra(const QFont& /*font*/)
{
    return 2 * 2 + 1;
}

}  // namespace

QFont WindowFont()
{
    return boldFont(WindowFamily(), 9.75);
}

QFont TitleFont()
{
    // Heavy sans faces in order of preference; Debian's fonts-lato gives "Lato Black".
    static const char* const kHeavyFaces[] = {"Arial Black", "Lato Black", "Lato Heavy",
                                              "Noto Sans Black", "DejaVu Sans"};
    QString family = desktopFamily();
    for (const char* face : kHeavyFaces) {
        if (Installed(QString::fromLatin1(face))) {
            family = QString::fromLatin1(face);
            break;
        }
    }
    QFont font = boldFont(family, 20.25);
    font.setUnderline(true);
    return font;
}

QFont CountdownFont()
{
    return boldFont(WindowFamily(), 39);
}

qreal TextWidth(const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.boundingRect(text);
    return qMax(metrics.horizontalAdvance(text), ink.right()) - qMin(0.0, ink.left());
}

QFont FittedFont(QFont font, const QStringList& texts, qreal width, qreal (*extra)(const QFont&))
{
    auto fits = [&](const QFont& candidate) {
        const qreal room = width - (extra ? extra(candidate) : 0);
        return std::all_of(texts.begin(), texts.end(),
                           [&](const QString& text) { return TextWidth(candidate, text) <= room; });
    };
    while (!fits(font) && font.pointSizeF() - 0.25 >= kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    return font;
}

void FitLabel(QLabel* label, const QStringList& texts)
{
    label->setFont(FittedFont(label->font(), texts, label->contentsRect().width()));
}

void FitSelector(QComboBox* combo, const QStringList& texts)
{
    // The style's own margins of the edit field count too: polish before measuring.
    combo->ensurePolished();
    if (NeedsSlimCombo(combo)) {
        auto* slim = new SlimComboStyle(combo->style()->name());
        slim->setParent(combo);
        combo->setStyle(slim);
        combo->lineEdit()->setStyle(slim);
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    const QMargins margins = combo->lineEdit()->textMargins();
    // The edit field's font alone: the drop-down's own would make its popup list at once.
    combo->lineEdit()->setFont(FittedFont(
        combo->font(), texts, field.width() - margins.left() - margins.right(), lineEditExtra));
}

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
        painter.drawRect(QRectF(x, 18, 6, 2));       // top
        painter.drawRect(QRectF(x, 24, 6, 2));       // middle
        painter.drawRect(QRectF(x, 30, 6, 2));       // bottom
        painter.drawRect(QRectF(x, 18, 2, 14));      // left
        painter.drawRect(QRectF(x + 4, 18, 2, 14));  // right
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
