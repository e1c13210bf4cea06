#include "app/SlimComboStyle.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionComboBox>

namespace quenterra {
namespace {

constexpr int kFrameWidth = 1;

// The arrow's button: as wide as the control is high, less a quarter.
int arrowWidth(const QRect& rect)
{
    return rect.height() * 3 / 4;
}

}  // namespace

SlimComboStyle::SlimComboStyle(const QString& key) : QProxyStyle(QStyleFactory::create(key)) {}

void SlimComboStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setTextMargins(0, 0, 0, 0);
    }
}

QRect SlimComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                     SubControl subControl, const QWidget* widget) const
{
    if (control != CC_ComboBox) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const QRect inner = option->rect.adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
    const int arrow = arrowWidth(option->rect);
    QRect rect;
    switch (subControl) {
        case SC_ComboBoxFrame:
            rect = option->rect;
            break;
        case SC_ComboBoxEditField:
            rect = inner.adjusted(1, 1, -arrow, -1);
            break;
        case SC_ComboBoxArrow:
            rect = QRect(inner.right() + 1 - arrow, inner.top(), arrow, inner.height());
            break;
        default:
            return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    return visualRect(option->direction, option->rect, rect);
}

QStyle::SubControl SlimComboStyle::hitTestComplexControl(ComplexControl control,
                                                         const QStyleOptionComplex* option,
                                                         const QPoint& position,
                                                         const QWidget* widget) const
{
    if (control == CC_ComboBox) {
        for (const SubControl part : {SC_ComboBoxArrow, SC_ComboBoxEditField, SC_ComboBoxFrame}) {
            if (subControlRect(control, option, part, widget).contains(position)) {
                return part;
            }
        }
        return SC_None;
    }
    return QProxyStyle::hitTestComplexControl(control, option, position, widget);
}

void SlimComboStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                        QPainter* painter, const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !combo) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    QStyleOptionFrame frame;
    frame.QStyleOption::operator=(*option);
    frame.lineWidth = kFrameWidth;
    frame.midLineWidth = 0;
    frame.features = QStyleOptionFrame::None;
    frame.frameShape = QFrame::StyledPanel;
    drawPrimitive(PE_PanelLineEdit, &frame, painter, widget);

    QStyleOption arrow(*option);
    arrow.rect = subControlRect(CC_ComboBox, option, SC_ComboBoxArrow, widget);
    if (combo->activeSubControls & SC_ComboBoxArrow && combo->state & State_Sunken) {
        arrow.state |= State_Sunken;
    }
    drawPrimitive(PE_IndicatorArrowDown, &arrow, painter, widget);
}

bool NeedsSlimCombo(const QComboBox* combo)
{
    return combo->minimumSizeHint().height() > combo->height();
}

}  // namespace quenterra
