#pragma once

// Stand-ins for the clock, the Messages and the window's controls, for tests of the logic.

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <vector>

#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/Messages.h"

namespace quenterra::test {

class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2015, 6, 1), QTime(12, 0))) : now_(now) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& now) { now_ = now; }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_;
};

struct ShownMessage {
    QString text;
    QString title;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

// Records every Message; onShow runs while the Message would be on screen.
class FakeMessages final : public Messages {
public:
    void show(const QString& text, const QString& title) override
    {
        shown.push_back({text, title});
        if (onShow) {
            onShow(shown.back());
        }
    }
    std::vector<ShownMessage> shown;
    std::function<void(const ShownMessage&)> onShow;
};

// A drop-down with a list of items, a chosen position and an edit text.
class FakeSelector final : public Selector {
public:
    explicit FakeSelector(QStringList items = {}, QString text = {})
        : items_(std::move(items)), text_(std::move(text))
    {
    }
    int listPosition() const override { return position_; }
    void setListPosition(int position) override
    {
        position_ = position >= 0 && position < items_.size() ? position : -1;
        text_ = position_ >= 0 ? items_[position_] : QString();
    }
    QString text() const override { return text_; }
    void setText(const QString& text) override
    {
        text_ = text;
        position_ = static_cast<int>(items_.indexOf(text));
    }
    int count() const override { return static_cast<int>(items_.size()); }
    QString item(int position) const override { return items_.value(position); }
    void clear() override
    {
        items_.clear();
        position_ = -1;
        text_.clear();
    }
    void addItem(const QString& item) override { items_ << item; }

private:
    QStringList items_;
    int position_ = -1;
    QString text_;
};

class FakeCaption final : public Caption {
public:
    explicit FakeCaption(QString caption = {}) : caption_(std::move(caption)) {}
    QString caption() const override { return caption_; }
    void setCaption(const QString& caption) override
    {
        caption_ = caption;
        ++writes;
    }
    int writes = 0;

private:
    QString caption_;
};

class FakeRefreshTimer final : public RefreshTimer {
public:
    bool isEnabled() const override { return enabled_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }

private:
    bool enabled_ = true;
};

}  // namespace quenterra::test
