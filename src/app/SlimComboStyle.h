#pragma once

#include <QProxyStyle>

class QComboBox;

namespace quenterra {

// The look of an editable drop-down in a style whose own frame does not fit the control's height
// (Adwaita asks for 36 pixels and, in fewer, draws neither frame nor arrow): the style's line-edit
// frame around the whole control, the style's down arrow in a slim button at its right, and no
// text margins in the edit field. Everything else is the style's own.
class SlimComboStyle final : public QProxyStyle {
    Q_OBJECT

public:
    // A style of the kind named by key (QStyleFactory's), made slim for drop-downs.
    explicit SlimComboStyle(const QString& key);

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     const QPoint& position, const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
};

// Whether the widget's style leaves the drop-down too little height for its frame.
bool NeedsSlimCombo(const QComboBox* combo);

}  // namespace quenterra
