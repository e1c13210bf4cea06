// The cost of one beat of the refresh timer: CountdownDisplay::tick() over the widgets the window
// uses (hidden editable drop-downs for the target, the two labels, the 50 ms timer) and the system
// clock, with the target 100 days ahead. Each tick computes the countdown and the clock text and
// hands both to their labels, which repaint only when the text has changed; the repaints
// themselves run in the event loop between the timed batches and are not counted.
//
// Two kinds of beat are timed: one within the second already shown (19 of every 20), which finds
// nothing to change, and one that brings a new second, which computes and formats both labels; for
// the latter the clock is moved on by a second before each beat.
//
// Prints "tick_ns <median ns per beat within a second>", "tick_new_second_ns <median ns per beat
// with a new second>", "tick_batches <n>" and "tick_per_batch <n>".
//
// quenterra-bench-tick [--batches N]   (default 15; draws offscreen unless QT_QPA_PLATFORM is set)

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/Fonts.h"
#include "app/Form1.h"
#include "app/QtControls.h"
#include "common/CountingMessages.h"
#include "common/Median.h"
#include "countdown/CountdownDisplay.h"
#include "platform/Messages.h"
#include "settings/ControlLists.h"
#include "system/session/SystemClock.h"

namespace quenterra::bench {
namespace {

QComboBox* hiddenSelector(QWidget* parent, const QStringList& items)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setVisible(false);
    return combo;
}

// The system clock, moved on by a whole second at each step().
class SteppingClock final : public Clock {
public:
    QDateTime now() const override { return system_.now().addSecs(offset_); }
    qint64 secsSinceEpoch() const override { return system_.secsSinceEpoch() + offset_; }
    qint64 msecsSinceEpoch() const override { return system_.msecsSinceEpoch() + offset_ * 1000; }
    void step() { ++offset_; }

private:
    SystemClock system_;
    qint64 offset_ = 0;
};

int run(int argc, char** argv)
{
    int batches = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--batches") == 0) {
            batches = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    QWidget window;
    window.setFont(WindowFont());
    window.setFixedSize(Twips(9630), Twips(4170));
    auto* year = hiddenSelector(&window, YearItems());
    auto* month = hiddenSelector(&window, MonthItems());
    auto* day = hiddenSelector(&window, DayItems());
    auto* hour = hiddenSelector(&window, HourItems());
    auto* minute = hiddenSelector(&window, MinuteItems());
    auto* second = hiddenSelector(&window, MinuteItems());

    auto* lblDJS = new QLabel(QStringLiteral("888:88:88:88"), &window);
    lblDJS->setGeometry(TwipsRect(1560, 1080, 6300, 1035));
    lblDJS->setFont(CountdownFont());
    lblDJS->setAlignment(Qt::AlignCenter);
    lblDJS->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* lblNow = new QLabel(QStringLiteral("YY-MM-DD hh:mm:ss"), &window);
    lblNow->setGeometry(TwipsRect(3600, 2640, 2895, 345));
    lblNow->setAlignment(Qt::AlignCenter);
    lblNow->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* timer = new QTimer(&window);
    timer->setInterval(50);
    timer->start();

    ComboSelector yearView(year);
    ComboSelector monthView(month);
    ComboSelector dayView(day);
    ComboSelector hourView(hour);
    ComboSelector minuteView(minute);
    ComboSelector secondView(second);
    LabelCaption djsCaption(lblDJS);
    LabelCaption nowCaption(lblNow);
    QtRefreshTimer refresh(timer);
    SteppingClock clock;
    CountingMessages messages;

    const QDateTime target = QDateTime::currentDateTime().addDays(100);
    yearView.setListPosition(target.date().year() - kFirstYear);
    monthView.setListPosition(target.date().month() - 1);
    dayView.setListPosition(target.date().day() - 1);
    hourView.setListPosition(target.time().hour());
    minuteView.setListPosition(target.time().minute());
    secondView.setListPosition(target.time().second());

    const TargetSelectors targets{yearView, monthView, dayView, hourView, minuteView, secondView};
    CountdownDisplay display(clock, targets, {djsCaption, nowCaption, refresh}, messages);
    window.show();
    QCoreApplication::processEvents();

    // Calibrates a batch to about 50 ms of beats that bring a new second, then times the batches.
    QElapsedTimer elapsed;
    int perBatch = 100;
    for (;;) {
        elapsed.start();
        for (int i = 0; i < perBatch; ++i) {
            clock.step();
            display.tick();
        }
        if (elapsed.nsecsElapsed() > 50'000'000 || perBatch >= (1 << 24)) {
            break;
        }
        perBatch *= 2;
    }
    if (messages.shown > 0) {
        std::fprintf(stderr, "quenterra-bench-tick: the countdown did not run\n");
        return 1;
    }

    std::vector<double> nsPerTick;
    std::vector<double> nsPerNewSecond;
    for (int batch = 0; batch < batches; ++batch) {
        QCoreApplication::processEvents();  // the repaints the last batch asked for
        elapsed.start();
        for (int i = 0; i < perBatch; ++i) {
            clock.step();
            display.tick();
        }
        nsPerNewSecond.push_back(static_cast<double>(elapsed.nsecsElapsed()) / perBatch);
        QCoreApplication::processEvents();
        elapsed.start();
        for (int i = 0; i < perBatch; ++i) {
            display.tick();
        }
        nsPerTick.push_back(static_cast<double>(elapsed.nsecsElapsed()) / perBatch);
    }
    std::printf("tick_ns %.0f\n", median(nsPerTick));
    std::printf("tick_new_second_ns %.0f\n", median(nsPerNewSecond));
    std::printf("tick_batches %d\n", batches);
    std::printf("tick_per_batch %d\n", perBatch);
    std::printf("tick_min_ns %.0f\n", *std::min_element(nsPerTick.begin(), nsPerTick.end()));
    return 0;
}

}  // namespace
}  // namespace quenterra::bench

int main(int argc, char** argv)
{
    return quenterra::bench::run(argc, argv);
}
