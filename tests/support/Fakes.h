#pragma once

// Stand-ins for the clock, the tick counter, the event pump, the Messages and the window's
// controls, for tests of the logic.

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <vector>

#include "countdown/Countdown.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/EventPump.h"
#include "platform/Messages.h"
#include "platform/TickCounter.h"
#include "settings/ControlLists.h"
#include "settings/SettingsStore.h"

namespace quenterra::test {

// A clock that shows what it is set to, to the millisecond (now() drops the fraction), and runs on
// with a tick counter once given one.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2015, 6, 1), QTime(12, 0)))
        : now_(std::move(now))
    {
    }
    QDateTime now() const override
    {
        const QDateTime current = read();
        return current.addMSecs(-current.time().msec());
    }
    qint64 secsSinceEpoch() const override { return read().toSecsSinceEpoch(); }
    qint64 msecsSinceEpoch() const override { return read().toMSecsSinceEpoch(); }
    void set(const QDateTime& now)
    {
        now_ = now;
        setAt_ = ticks_ ? ticks_->timeGetTime() : 0;
    }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }
    void runWith(TickCounter& ticks)
    {
        ticks_ = &ticks;
        set(now_);
    }

private:
    QDateTime read() const
    {
        return ticks_ ? now_.addMSecs(quint32(ticks_->timeGetTime() - setAt_)) : now_;
    }

    QDateTime now_;
    TickCounter* ticks_ = nullptr;
    quint32 setAt_ = 0;
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

// The seven hidden selectors with the window's lists.
struct HiddenSelectors {
    FakeSelector year{YearItems()};
    FakeSelector month{MonthItems()};
    FakeSelector day{DayItems()};
    FakeSelector hour{HourItems()};
    FakeSelector minute{MinuteItems()};
    FakeSelector second{MinuteItems()};
    FakeSelector bright{BrightItems()};

    // Chooses the items that show these numbers, as the settings load does.
    void setTarget(int y, int mo, int d, int h, int mi, int s)
    {
        year.setListPosition(y - kFirstYear);
        month.setListPosition(mo - 1);
        day.setListPosition(d - 1);
        hour.setListPosition(h);
        minute.setListPosition(mi);
        second.setListPosition(s);
    }
    TargetSelectors targets() const { return {year, month, day, hour, minute, second}; }
    SettingsSelectors settings() { return {year, month, day, hour, minute, second, bright}; }
    QList<int> positions() const
    {
        return {year.listPosition(),  month.listPosition(),  day.listPosition(),
                hour.listPosition(),  minute.listPosition(), second.listPosition(),
                bright.listPosition()};
    }
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

class FakeTicks final : public TickCounter {
public:
    explicit FakeTicks(quint32 start = 5000) : now_(start) {}
    quint32 timeGetTime() override { return now_; }
    void advance(quint32 ms) { now_ += ms; }
    quint32 now() const { return now_; }

private:
    quint32 now_;
};

// Each pump lets a millisecond pass (pumpFor: its whole time, as when no event comes), then runs
// onPump (a press of a button, a tick of the display...).
class FakePump final : public EventPump {
public:
    explicit FakePump(FakeTicks& ticks) : ticks_(ticks) {}
    void pump() override { pumpFor(1); }
    void pumpFor(qint32 ms) override
    {
        ++pumps;
        ticks_.advance(static_cast<quint32>(std::max(1, ms)));
        if (onPump) {
            onPump();
        }
    }
    int pumps = 0;
    std::function<void()> onPump;

private:
    FakeTicks& ticks_;
};

class FakeProgressBar final : public ProgressBar {
public:
    void setMin(int min) override { history << QStringLiteral("Min=%1").arg(min); }
    void setMax(int max) override { history << QStringLiteral("Max=%1").arg(max); }
    void setValue(int value) override { history << QStringLiteral("Value=%1").arg(value); }
    QStringList history;
};

}  // namespace quenterra::test

Q_DECLARE_METATYPE(quenterra::test::ShownMessage)
