#include "app/Form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/Colours.h"
#include "app/Fonts.h"
#include "badge/PortSelection.h"
#include "badge/PortTooltip.h"
#include "settings/ControlLists.h"

namespace quenterra {
namespace {

void colourText(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) != colour) {
        palette.setColor(QPalette::WindowText, colour);
        widget->setPalette(palette);
    }
}

void describe(QWidget* widget, const QString& name, const QString& description)
{
    if (!name.isEmpty()) {
        widget->setAccessibleName(name);
    }
    widget->setAccessibleDescription(description);
}

const QString kPortDescription = QStringLiteral("The serial port the badge is on, COM1 to COM32");

// The widest texts the countdown label can show: every place a figure, or every field led by a
// minus sign (days run from -24855 to 24855 for a signed 32-bit count of seconds).
QStringList widestCountdowns()
{
    return {FormatCountdown({24855, 23, 59, 59}), FormatCountdown({-9999, -9, -9, -9}),
            kNoCountdownText};
}

// Clock texts of each month, in the morning and the evening, for the locale's names of months and
// of the halves of the day.
QStringList widestClockTexts()
{
    const ClockText clock;
    QStringList texts;
    for (int month = 1; month <= 12; ++month) {
        for (const QTime time : {QTime(10, 58, 58), QTime(23, 58, 58)}) {
            texts << clock.format(QDateTime(QDate(2088, month, 28), time));
        }
    }
    return texts;
}

}  // namespace

Form1::Form1(FormServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      settings_(services_.settings, services_.settingsFiles),
      spoken_(services_.ticks)
{
    createControls();

    year_ = std::make_unique<ComboSelector>(comYear_);
    month_ = std::make_unique<ComboSelector>(comMonth_);
    day_ = std::make_unique<ComboSelector>(comDay_);
    hour_ = std::make_unique<ComboSelector>(comHour_);
    minute_ = std::make_unique<ComboSelector>(comMinute_);
    second_ = std::make_unique<ComboSelector>(comSecond_);
    bright_ = std::make_unique<ComboSelector>(comBright_);
    sele_ = std::make_unique<ComboSelector>(comSele_);
    djsCaption_ = std::make_unique<LabelCaption>(lblDJS_);
    nowCaption_ = std::make_unique<LabelCaption>(lblNow_);
    refresh_ = std::make_unique<QtRefreshTimer>(timer1_);
    progress_ = std::make_unique<QtProgressBar>(progressBar1_);

    const TargetSelectors targets{*year_, *month_, *day_, *hour_, *minute_, *second_};
    display_ = std::make_unique<CountdownDisplay>(
        services_.clock, targets, CountdownDisplay::Controls{*djsCaption_, *nowCaption_, *refresh_},
        services_.messages);
    sync_ = std::make_unique<BadgeSync>(
        BadgeSync::Services{services_.comm, services_.clock, services_.messages, services_.ticks,
                            services_.pump},
        targets, BadgeSync::Controls{*sele_, *bright_, *progress_});
}

Form1::~Form1() = default;

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quenterra  Ver 2.00"));
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        // Read as PNG, not guessed: a guess asks every image format plugin, each loaded for it.
        QImageReader reader(QStringLiteral(":/icon/quenterra-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    setWindowIcon(icon);
    setFont(WindowFont());
    const QFont titleFont = TitleFont();
    const QFont countdownFont = CountdownFont();
    setFixedSize(Twips(9630), Twips(4170));
    // A window of fixed size: it can be minimised and closed, but it offers no maximising. On
    // Windows its border is the thin one of a fixed size, which offers no resizing either.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // Each drop-down is given its edit field rather than made editable by setEditable(), which
    // would make its popup list with the list's views at once: the list comes when first opened.
    // An editable drop-down with its items, no item chosen and its initial text.
    auto selector = [](const char* name, QWidget* container, QRect geometry,
                       const QStringList& items, const QString& initialText, bool shown) {
        auto* combo = new QComboBox(container);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setGeometry(geometry);
        combo->addItems(items);
        combo->setCurrentIndex(-1);
        auto* edit = new QLineEdit(combo);
        combo->setLineEdit(edit);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Text typed is kept as typed: no completion to an item, in no letter case.
        combo->setCompleter(nullptr);
        combo->setEditText(initialText);
        combo->setVisible(shown);
        return combo;
    };

    // Controls in tab-index order; the hidden selectors are made and hidden before the window is
    // shown.
    label1_ = new QLabel(QStringLiteral("  Quenterra Badge  "), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(TwipsRect(120, 0, 9375, 600));
    label1_->setFont(titleFont);
    label1_->setAlignment(Qt::AlignCenter);
    FitLabel(label1_, {label1_->text()});

    cmdSend_ = new QPushButton(QStringLiteral("Sync"), this);
    cmdSend_->setObjectName(QStringLiteral("CmdSend"));
    cmdSend_->setGeometry(TwipsRect(4800, 3600, 2175, 375));
    describe(cmdSend_, {}, QStringLiteral("Sends the countdown and the brightness to the badge"));

    cmdExit_ = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit_->setObjectName(QStringLiteral("CmdExit"));
    cmdExit_->setGeometry(TwipsRect(7200, 3600, 2175, 375));
    describe(cmdExit_, {}, QStringLiteral("Saves the settings and ends the program"));
    // Return and Enter press the button that has the focus, as Space does (see eventFilter).
    cmdSend_->installEventFilter(this);
    cmdExit_->installEventFilter(this);
    connect(cmdSend_, &QPushButton::clicked, this, &Form1::onCmdSend);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    progressBar1_ = new QProgressBar(this);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setGeometry(TwipsRect(2220, 3630, 2355, 330));
    progressBar1_->setOrientation(Qt::Horizontal);
    progressBar1_->setTextVisible(false);
    // Empty, and heard as empty: 0 of 0 to 100 (a reset bar would tell -1).
    progressBar1_->setValue(0);
    describe(progressBar1_, QStringLiteral("Sync progress"),
             QStringLiteral("How far the sync with the badge has come"));

    label4_ = new QLabel(QStringLiteral("Port :"), this);
    label4_->setObjectName(QStringLiteral("Label4"));
    label4_->setGeometry(TwipsRect(240, 3660, 735, 285));
    label4_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FitLabel(label4_, {label4_->text()});

    // Made after Label4, so that where the two overlap the drop-down lies above the label.
    comSele_ = selector("ComSele", this, TwipsRect(840, 3615, 1095, 360), PortItems(8),
                        PortName(kFirstPortNumber), true);
    label4_->setBuddy(comSele_);
    describe(comSele_, QStringLiteral("Port"), kPortDescription);
    FitSelector(comSele_, PortItems(kLastPortNumber));

    // A frame without caption, as the style draws a panel's: Adwaita draws no group box, nor a box
    // in the window's own light and dark shades.
    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(TwipsRect(120, 600, 9375, 2775));
    frame1_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    describe(frame1_, QStringLiteral("Countdown and clock"), {});

    lblDJS_ = new QLabel(QStringLiteral("888:88:88:88"), frame1_);
    lblDJS_->setObjectName(QStringLiteral("LblDJS"));
    lblDJS_->setGeometry(TwipsRect(1560, 480, 6300, 1035));
    lblDJS_->setFont(countdownFont);
    lblDJS_->setAlignment(Qt::AlignCenter);
    lblDJS_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    FitLabel(lblDJS_, widestCountdowns() << lblDJS_->text());
    spoken_.add(lblDJS_, QStringLiteral("Countdown"));
    describe(lblDJS_, {},
             QStringLiteral("Days, hours, minutes and seconds left until the target moment"));

    comYear_ = selector("ComYear", frame1_, TwipsRect(240, 240, 855, 360), YearItems(),
                        QStringLiteral("2012"), false);
    comMonth_ = selector("ComMonth", frame1_, TwipsRect(240, 720, 735, 360), MonthItems(),
                         QStringLiteral(" 3"), false);
    comDay_ = selector("ComDay", frame1_, TwipsRect(240, 1200, 735, 360), DayItems(),
                       QStringLiteral(" 1"), false);
    comHour_ = selector("ComHour", frame1_, TwipsRect(8040, 240, 735, 360), HourItems(),
                        QStringLiteral(" 0"), false);
    comMinute_ = selector("ComMinute", frame1_, TwipsRect(8040, 720, 735, 360), MinuteItems(),
                          QStringLiteral("0"), false);
    comSecond_ = selector("ComSecond", frame1_, TwipsRect(8040, 1200, 735, 360), MinuteItems(),
                          QStringLiteral("0"), false);

    label2_ = new QLabel(QStringLiteral("Clock Time :"), frame1_);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(TwipsRect(2040, 2040, 1575, 375));
    label2_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FitLabel(label2_, {label2_->text()});

    lblNow_ = new QLabel(QStringLiteral("YY-MM-DD hh:mm:ss"), frame1_);
    lblNow_->setObjectName(QStringLiteral("LblNow"));
    lblNow_->setGeometry(TwipsRect(3480, 2040, 2895, 345));
    lblNow_->setAlignment(Qt::AlignCenter);
    lblNow_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    FitLabel(lblNow_, widestClockTexts() << lblNow_->text());
    spoken_.add(lblNow_, QStringLiteral("Clock"));
    describe(lblNow_, {}, QStringLiteral("The current date and time"));

    comBright_ = selector("ComBright", this, TwipsRect(120, 3240, 615, 360), BrightItems(),
                          QStringLiteral("4"), false);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(50);
    connect(timer1_, &QTimer::timeout, this, &Form1::onTimer1);
    timer1_->start();

    colourTexts();

    // Tab order; labels, the frame and the progress bar take no focus, so focus starts on "Sync".
    QWidget* const tabOrder[] = {cmdSend_, cmdExit_, comSele_,   comYear_,   comMonth_,
                                 comDay_,  comHour_, comMinute_, comSecond_, comBright_};
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    progressBar1_->setFocusPolicy(Qt::NoFocus);
    frame1_->setFocusPolicy(Qt::NoFocus);
    cmdSend_->setFocus();
}

SettingsSelectors Form1::settingsSelectors()
{
    return {*year_, *month_, *day_, *hour_, *minute_, *second_, *bright_};
}

void Form1::load()
{
    settings_.load(settingsSelectors());
    display_->ShowCountdown();
    const PortMap ports = services_.mapPorts ? services_.mapPorts(settings_.portPins()) : PortMap();
    const auto outcomes = ProbePorts(services_.comm, *sele_);
    // Which device each number is, and why a device could not be opened: on the mouse's tooltip,
    // and for the keyboard's user in what a screen reader tells of the selector.
    const QString advice = PortTooltip(ports, outcomes);
    comSele_->setToolTip(advice);
    comSele_->setAccessibleDescription(kPortDescription + u'\n' + advice);
    // A user who may open no port is told why, and what to do, from the start: below the clock,
    // and by a screen reader with the button that has the focus.
    if (const QString mayNotOpen = PortAdvice(outcomes); !mayNotOpen.isEmpty()) {
        cmdSend_->setAccessibleDescription(cmdSend_->accessibleDescription() + u'\n' + mayNotOpen);
        auto* label = new QLabel(mayNotOpen, frame1_);
        label->setObjectName(QStringLiteral("PortAdvice"));
        label->setGeometry(TwipsRect(120, 2385, 9135, 375));
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);  // the command can be copied
        // As fine print, a size smaller each time until it fits.
        QFont font = label->font();
        font.setBold(false);
        while (
            font.pointSizeF() > 6 &&
            QFontMetrics(font).boundingRect(label->rect(), Qt::TextWordWrap, mayNotOpen).height() >
                label->height()) {
            font.setPointSizeF(font.pointSizeF() - 0.25);
        }
        label->setFont(font);
    }
}

void Form1::showEvent(QShowEvent* event)
{
    // The focus frame shows from the start, not only once the keyboard has moved the focus: the
    // user sees which button Space presses. (Showing the window clears this flag.)
    setAttribute(Qt::WA_KeyboardFocusChange);
    QWidget::showEvent(event);
}

void Form1::colourTexts()
{
    // The title's blue and the countdown's red, as described on a light window; readable on a
    // dark one.
    const QColor window = palette().color(QPalette::Window);
    colourText(label1_, ReadableOn(QColor(0, 0, 255), window));
    colourText(lblDJS_, ReadableOn(QColor(255, 0, 0), window));
}

void Form1::changeEvent(QEvent* event)
{
    // The desktop switched between light and dark, or to another style.
    if (event->type() == QEvent::PaletteChange) {
        colourTexts();
    }
    QWidget::changeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // On the desktops the program's users come from, Return presses the focused button. Qt does
    // so only for a dialog's buttons, which then look like default buttons: here the key is taken
    // before the button sees it, and the buttons keep their look. As with Space, the button is
    // pressed when the key comes up, once however long it was held, and only if it went down on
    // this button: the key that dismisses a Message does not press the button that gets the
    // focus back. (Some systems mark the first press as a repeat, so repeats are not told apart.)
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if ((watched == cmdSend_ || watched == cmdExit_) && keyEvent) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (event->type() == QEvent::KeyPress) {
                enterDownOn_ = watched;
            } else if (!key->isAutoRepeat() && enterDownOn_ == watched) {
                enterDownOn_ = nullptr;
                static_cast<QPushButton*>(watched)->click();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (sync_->inProgress()) {
        // The sync still has steps to run on the port and the controls: the unload follows it.
        closeAfterSync_ = true;
        event->ignore();
        return;
    }
    unload();
    event->accept();
}

void Form1::unload()
{
    if (!unloaded_) {
        unloaded_ = true;
        settings_.save(settingsSelectors());  // a failed write stays silent; the program still ends
        timer1_->stop();
    }
}

void Form1::endNow()
{
    sync_->abandon();
    try {
        services_.comm.setPortOpen(false);
    } catch (const CommError&) {
        // Nothing more can be done for the port: the settings still matter.
    }
    unload();
}

void Form1::requestClose(bool atOnce)
{
    if (atOnce) {
        sync_->abandon();
    }
    close();
}

void Form1::onTimer1()
{
    display_->tick();
    spoken_.announceChanges();
}

void Form1::onCmdSend()
{
    sync_->cmdSendClick();
    if (closeAfterSync_ && !sync_->inProgress()) {
        closeAfterSync_ = false;
        close();
    }
}

}  // namespace quenterra
