#include "app/QtControls.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace quenterra {

int ComboSelector::listPosition() const
{
    return combo_->currentIndex();
}

void ComboSelector::setListPosition(int position)
{
    if (position < -1 || position >= combo_->count()) {
        position = -1;
    }
    combo_->setCurrentIndex(position);
    if (position == -1) {
        combo_->setEditText(QString());
    }
}

QString ComboSelector::text() const
{
    return combo_->currentText();
}

void ComboSelector::setText(const QString& text)
{
    combo_->setEditText(text);
}

int ComboSelector::count() const
{
    return combo_->count();
}

QString ComboSelector::item(int position) const
{
    return combo_->itemText(position);
}

void ComboSelector::clear()
{
    combo_->clear();
    combo_->setEditText(QString());
}

void ComboSelector::addItem(const QString& item)
{
    combo_->addItem(item);
}

QString LabelCaption::caption() const
{
    return label_->text();
}

void LabelCaption::setCaption(const QString& caption)
{
    if (label_->text() != caption) {
        label_->setText(caption);
    }
}

bool QtRefreshTimer::isEnabled() const
{
    return timer_->isActive();
}

void QtRefreshTimer::setEnabled(bool enabled)
{
    if (enabled == timer_->isActive()) {
        return;
    }
    if (enabled) {
        timer_->start();
    } else {
        timer_->stop();
    }
}

void QtProgressBar::setMin(int min)
{
    bar_->setMinimum(min);
}

void QtProgressBar::setMax(int max)
{
    bar_->setMaximum(max);
}

void QtProgressBar::setValue(int value)
{
    bar_->setValue(value);
}

}  // namespace quenterra
