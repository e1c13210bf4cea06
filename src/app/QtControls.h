#pragma once

#include "platform/Controls.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QTimer;

namespace quenterra {

// The controls' views over the Qt widgets that stand for them.

class ComboSelector final : public Selector {
public:
    explicit ComboSelector(QComboBox* combo) : combo_(combo) {}
    int listPosition() const override;
    void setListPosition(int position) override;
    QString text() const override;
    void setText(const QString& text) override;
    int count() const override;
    QString item(int position) const override;
    void clear() override;
    void addItem(const QString& item) override;

private:
    QComboBox* combo_;
};

class LabelCaption final : public Caption {
public:
    explicit LabelCaption(QLabel* label) : label_(label) {}
    QString caption() const override;
    // Repaints the label only when the text changes.
    void setCaption(const QString& caption) override;

private:
    QLabel* label_;
};

class QtRefreshTimer final : public RefreshTimer {
public:
    explicit QtRefreshTimer(QTimer* timer) : timer_(timer) {}
    bool isEnabled() const override;
    // Enabling a running timer leaves its rhythm alone.
    void setEnabled(bool enabled) override;

private:
    QTimer* timer_;
};

class QtProgressBar final : public ProgressBar {
public:
    explicit QtProgressBar(QProgressBar* bar) : bar_(bar) {}
    void setMin(int min) override;
    void setMax(int max) override;
    void setValue(int value) override;

private:
    QProgressBar* bar_;
};

}  // namespace quenterra
