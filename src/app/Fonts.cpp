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

#include "app/SlimComboStyle.h"

namespace quenterra {
namespace {

QFont BoldFont(const QString& family, qreal pointSize)
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

QString DesktopFamily()
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
    return Installed(kLato) ? kLato : DesktopFamily();
}

// The smallest size fitting goes down to; below it a text is left to be cut rather than unread.
constexpr qreal kSmallestPointSize = 6;

// Whether a text shows whole in a font in room pixels, drawn from the left or centred: its advance
// fits, and so does its ink, which may reach past either end of it.
bool Fits(const QFont& font, const QString& text, qreal room, bool centred)
{
    const QFontMetricsF metrics(font);
    const qreal advance = metrics.horizontalAdvance(text);
    const QRectF ink = metrics.boundingRect(text);
    if (!centred) {
        return qMax(advance, ink.right()) <= room;
    }
    const qreal left = (room - advance) / 2;
    return advance <= room && left + ink.left() >= 0 && left + ink.right() <= room;
}

// The font at its own size where each of texts fits into room pixels; else at the largest size
// below, in steps of a quarter point, at which they all do.
QFont FittedFont(QFont font, const QStringList& texts, qreal room, bool centred)
{
    auto fits = [&](const QFont& candidate) {
        return std::all_of(texts.begin(), texts.end(), [&](const QString& text) {
            return Fits(candidate, text, room, centred);
        });
    };
    while (!fits(font) && font.pointSizeF() - 0.25 >= kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    return font;
}

}  // namespace

QFont WindowFont()
{
    return BoldFont(WindowFamily(), 9.75);
}

QFont TitleFont()
{
    // Heavy sans faces in order of preference; Debian's fonts-lato gives "Lato Black".
    static const char* const kHeavyFaces[] = {"Arial Black", "Lato Black", "Lato Heavy",
                                              "Noto Sans Black", "DejaVu Sans"};
    QString family = DesktopFamily();
    for (const char* face : kHeavyFaces) {
        if (Installed(QString::fromLatin1(face))) {
            family = QString::fromLatin1(face);
            break;
        }
    }
    QFont font = BoldFont(family, 20.25);
    font.setUnderline(true);
    return font;
}

QFont CountdownFont()
{
    return BoldFont(WindowFamily(), 39);
}

void FitLabel(QLabel* label, const QStringList& texts)
{
    label->setFont(FittedFont(label->font(), texts, label->contentsRect().width(),
                              label->alignment() & Qt::AlignHCenter));
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
    // Less the text margins, the line edit's own 2 pixels each side and its cursor.
    const QMargins margins = combo->lineEdit()->textMargins();
    const int room = field.width() - margins.left() - margins.right() - 2 * 2 - 1;
    // The edit field's font alone: the drop-down's own would make its popup list at once.
    combo->lineEdit()->setFont(FittedFont(combo->font(), texts, room, false));
}

}  // namespace quenterra
