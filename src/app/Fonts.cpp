#include "app/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
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

}  // namespace quenterra
