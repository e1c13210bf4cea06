// The window as the user meets it: its controls, lists, texts, looks and focus, and the live
// display.

#include <QAccessible>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include "app/Colours.h"
#include "app/Form1.h"
#include "countdown/ClockText.h"
#include "support/Files.h"
#include "support/FormRig.h"
#include "support/TestMain.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

QString controlText(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        return button->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    return {};
}

// Whether the fonts here, with Qt's fallbacks, have a glyph for every character of text.
bool drawable(const QFont& font, const QString& text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const auto runs = layout.glyphRuns();
    return std::none_of(runs.begin(), runs.end(),
                        [](const QGlyphRun& run) { return run.glyphIndexes().contains(0); });
}

// Whether a text drawn in a font, centred in room pixels or from its left, shows whole.
bool Whole(const QFont& font, const QString& text, qreal room, bool centred)
{
    const QFontMetricsF metrics(font);
    const qreal advance = metrics.horizontalAdvance(text);
    const QRectF ink = metrics.boundingRect(text);
    const qreal left = centred ? (room - advance) / 2 : 0;
    return advance <= room && left + ink.left() >= 0 && left + ink.right() <= room;
}

// A target a day, thirty minutes and fifteen seconds after the rigs' clock.
const QByteArray kDayAhead =
    "[Target Date]\nYear=2015\nMonth=6\nDay=2\n[Target Time]\nHour=12\nMinute=30\nSecond=15\n";

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void windowItself()
    {
        FormRig rig;
        QCOMPARE(rig.form.objectName(), QStringLiteral("Form1"));
        QCOMPARE(rig.form.windowTitle(), QStringLiteral("Quenterra  Ver 2.00"));
        QCOMPARE(rig.form.size(), QSize(642, 278));
        QCOMPARE(rig.form.minimumSize(), rig.form.maximumSize());
        QCOMPARE(rig.form.font().pointSizeF(), 9.75);
        QCOMPARE(rig.form.font().weight(), QFont::Bold);
        const QList<QSize> sizes = rig.form.windowIcon().availableSizes();
        for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48)}) {
            QVERIFY2(sizes.contains(size),
                     qPrintable(QStringLiteral("icon size %1").arg(size.width())));
        }
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("text");

        auto row = [](const char* name, const char* container, int l, int t, int w, int h,
                      bool shown, const char* text) {
            QTest::newRow(name) << name << container << QRect(l, t, w, h) << shown << text;
        };
        row("Label1", "Form1", 120, 0, 9375, 600, true, "  Quenterra Badge  ");
        row("CmdSend", "Form1", 4800, 3600, 2175, 375, true, "Sync");
        row("CmdExit", "Form1", 7200, 3600, 2175, 375, true, "Exit");
        row("ProgressBar1", "Form1", 2220, 3630, 2355, 330, true, "");
        row("ComSele", "Form1", 840, 3615, 1095, 360, true, "COM1");
        row("Label4", "Form1", 240, 3660, 735, 285, true, "Port :");
        row("Frame1", "Form1", 120, 600, 9375, 2775, true, "");
        row("LblDJS", "Frame1", 1560, 480, 6300, 1035, true, "888:88:88:88");
        row("ComYear", "Frame1", 240, 240, 855, 360, false, "2012");
        row("ComMonth", "Frame1", 240, 720, 735, 360, false, " 3");
        row("ComDay", "Frame1", 240, 1200, 735, 360, false, " 1");
        row("ComHour", "Frame1", 8040, 240, 735, 360, false, " 0");
        row("ComMinute", "Frame1", 8040, 720, 735, 360, false, "0");
        row("ComSecond", "Frame1", 8040, 1200, 735, 360, false, "0");
        row("Label2", "Frame1", 2040, 2040, 1575, 375, true, "Clock Time :");
        row("LblNow", "Frame1", 3480, 2040, 2895, 345, true, "YY-MM-DD hh:mm:ss");
        row("ComBright", "Form1", 120, 3240, 615, 360, false, "4");
    }

    // Each control in its container at its place, shown or hidden, with its initial text.
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        QFETCH(bool, shown);
        QFETCH(QString, text);

        FormRig rig;
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form));

        QWidget* widget = rig.control(qPrintable(name));
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        QCOMPARE(widget->isVisible(), shown);
        QCOMPARE(controlText(widget), text);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            QVERIFY(combo->isEditable());
            QCOMPARE(combo->currentIndex(), -1);
        }
    }

    void lists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        // The numbers first to last as the lists show them: below 10, a blank before the figure.
        auto numbers = [](int first, int last) {
            QStringList items;
            for (int n = first; n <= last; ++n) {
                items << QString::number(n).rightJustified(2);
            }
            return items;
        };
        QTest::newRow("ComYear: 2012 on, through 2099") << "ComYear" << numbers(2012, 2099);
        QTest::newRow("ComMonth") << "ComMonth" << numbers(1, 12);
        QTest::newRow("ComDay") << "ComDay" << numbers(1, 31);
        QTest::newRow("ComHour") << "ComHour" << numbers(0, 23);
        QTest::newRow("ComMinute") << "ComMinute" << numbers(0, 59);
        QTest::newRow("ComSecond") << "ComSecond" << numbers(0, 59);
        QTest::newRow("ComBright") << "ComBright" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("ComSele") << "ComSele" << QStringList{"COM1", "COM2", "COM3", "COM4",
                                                             "COM5", "COM6", "COM7", "COM8"};
    }

    void lists()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        FormRig rig;
        auto* combo = rig.control<QComboBox>(qPrintable(name));
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i) {
            shown << combo->itemText(i);
        }
        QCOMPARE(shown, items);
    }

    // The window a desktop's theme gives: light ones keep the title's blue and the countdown's
    // red as described; on dark ones both become readable. A switch while the program runs is
    // followed, both ways.
    void looks_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("dark");
        QTest::newRow("Fusion, light") << QColor(239, 239, 239) << false;
        QTest::newRow("Adwaita, light") << QColor(246, 245, 244) << false;
        QTest::newRow("white") << QColor(Qt::white) << false;
        QTest::newRow("Adwaita-Dark") << QColor(53, 53, 53) << true;
        QTest::newRow("qt6ct, darker") << QColor(34, 32, 32) << true;
        QTest::newRow("black") << QColor(Qt::black) << true;
    }

    void looks()
    {
        QFETCH(QColor, window);
        QFETCH(bool, dark);
        FormRig rig;
        auto* title = rig.control<QLabel>("Label1");
        QCOMPARE(title->font().pointSizeF(), 20.25);
        QCOMPARE(title->font().weight(), QFont::Bold);
        QVERIFY(title->font().underline());
        QCOMPARE(title->alignment(), Qt::AlignCenter);

        auto* countdown = rig.control<QLabel>("LblDJS");
        QCOMPARE(countdown->font().pointSizeF(), 39.0);
        QCOMPARE(countdown->font().weight(), QFont::Bold);
        QCOMPARE(countdown->alignment(), Qt::AlignCenter);
        QVERIFY(countdown->frameShape() != QFrame::NoFrame);

        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        const std::pair<QLabel*, QColor> described[] = {{title, QColor(0, 0, 255)},
                                                        {countdown, QColor(255, 0, 0)}};
        QPalette themed = before;
        themed.setColor(QPalette::Window, window);
        themed.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
        QApplication::setPalette(themed);
        QCoreApplication::processEvents();  // the desktop's change reaches the window
        for (const auto& [label, colour] : described) {
            const QColor shown = label->palette().color(QPalette::WindowText);
            if (dark && Contrast(colour, window) < 4.5) {
                // The nearest readable colour: of the same hue, just light enough.
                const qreal contrast = Contrast(shown, window);
                QVERIFY2(contrast >= 4.5 && contrast < 4.6, qPrintable(shown.name()));
                QCOMPARE(shown.hue(), colour.hue());
            } else {
                QCOMPARE(shown, colour);
            }
        }
        QApplication::setPalette(before);
        QCoreApplication::processEvents();
        for (const auto& [label, colour] : described) {
            QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        }

        auto* clockLabel = rig.control<QLabel>("LblNow");
        QCOMPARE(clockLabel->alignment(), Qt::AlignCenter);
        QVERIFY(clockLabel->frameShape() != QFrame::NoFrame);
        QCOMPARE(clockLabel->font(), rig.form.font());
        QCOMPARE(rig.control<QLabel>("Label4")->frameShape(), QFrame::NoFrame);

        auto* timer = rig.control<QTimer>("Timer1");
        QCOMPARE(timer->interval(), 50);
        QVERIFY(timer->isActive());
    }

    // Focus starts on "Sync"; Tab walks Sync, Exit, the port selector; the drop-down lies above
    // the label it overlaps.
    void focusAndOrder()
    {
        FormRig rig;
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&rig.form));
        QCOMPARE(QApplication::focusWidget(), rig.control("CmdSend"));
        // The focus shows on "Sync" from the start: it looks other than without the focus.
        auto* sync = rig.control<QPushButton>("CmdSend");
        const QImage focused = sync->grab().toImage();
        rig.control("CmdExit")->setFocus();
        QVERIFY(sync->grab().toImage() != focused);
        sync->setFocus();

        QStringList walk;
        for (int i = 0; i < 4; ++i) {
            walk << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(walk, (QStringList{"CmdSend", "CmdExit", "ComSele", "CmdSend"}));

        const QObjectList stacking = rig.form.children();
        QVERIFY(stacking.indexOf(rig.control("ComSele")) > stacking.indexOf(rig.control("Label4")));
    }

    // The longest texts each control can show, whole in each Qt style a Debian desktop offers, at
    // the scale factor the test runs with (CTest runs this at 1, 1.25, 1.5 and 2); the frame drawn.
    void textsFit_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        for (const char* style : {"Fusion", "Windows", "Adwaita", "Adwaita-Dark"}) {
            auto row = [style](const char* name, const char* text) {
                QTest::newRow(qPrintable(QStringLiteral("%1: %2 \"%3\"").arg(style, name, text)))
                    << style << name << text;
            };
            row("Label1", "  Quenterra Badge  ");
            row("LblDJS", "-5087:-7:29:36  ");
            row("LblDJS", " 1000:00:00:00  ");
            row("LblDJS", "24855:23:59:59  ");
            row("LblDJS", "-9999:-9:-9:-9  ");
            row("Label2", "Clock Time :");
            row("LblNow", "YY-MM-DD hh:mm:ss");
            row("LblNow", "28 Sep 2088 23:58:58");
            row("Label4", "Port :");
            row("ComSele", "COM32");
            row("ComSele", "COM28");
            row("CmdSend", "Sync");
            row("CmdExit", "Exit");
            row("Frame1", "");  // no text: its border is drawn
        }
    }

    void textsFit()
    {
        QFETCH(QString, style);
        QFETCH(QString, name);
        QFETCH(QString, text);
        if (!QStyleFactory::keys().contains(style, Qt::CaseInsensitive)) {
            QSKIP(
                qPrintable("the style " + style + " is not installed (scripts/test installs it)"));
        }
        const QString before = QApplication::style()->name();
        QApplication::setStyle(style);
        const auto restore = qScopeGuard([&] { QApplication::setStyle(before); });
        FormRig rig;
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
        QWidget* widget = rig.control(qPrintable(name));
        if (name == u"Frame1") {
            // A border in its first two pixels from the left, other than the window within it.
            const QImage frame = widget->grab().toImage();
            const int y = frame.height() / 2;
            const int edge = qCeil(2 * frame.devicePixelRatio());
            bool border = false;
            for (int x = 0; x < edge; ++x) {
                border = border || frame.pixel(x, y) != frame.pixel(2 * edge, y);
            }
            QVERIFY(border);
            return;
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // The edit field shows the text from its first letter, unscrolled, with the cursor
            // after the last one.
            QLineEdit* edit = combo->lineEdit();
            combo->setEditText(text);
            edit->repaint();
            const QRectF cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
            const qreal textEnd = edit->contentsRect().left() + 2 +
                                  QFontMetricsF(edit->font()).horizontalAdvance(text);
            QVERIFY2(
                qAbs(cursor.center().x() - textEnd) < 1,
                qPrintable(QStringLiteral("scrolled by %1 px").arg(textEnd - cursor.center().x())));
            QVERIFY(cursor.center().x() < edit->contentsRect().right() - 2);
            // The arrow that opens the list is drawn, beside the edit field.
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = true;
            option.frame = combo->hasFrame();
            const QRect arrow = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxArrow, combo);
            QVERIFY(combo->rect().contains(arrow) && !arrow.intersects(edit->geometry()));
            const QImage drawn = combo->grab(arrow).toImage();
            QSet<QRgb> colours;
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x) {
                    colours.insert(drawn.pixel(x, y));
                }
            }
            QVERIFY2(colours.size() > 1, "no arrow");
            return;
        }
        qreal room = widget->contentsRect().width();
        bool centred = true;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            centred = label->alignment() & Qt::AlignHCenter;
        } else {
            room -= 2 * 4;  // a push button's own margins at the least
        }
        QVERIFY2(Whole(widget->font(), text, room, centred),
                 qPrintable(QStringLiteral("cut at %1 pt").arg(widget->font().pointSizeF())));
    }

    // What a screen reader hears of each control; the hidden selectors stay hidden from it.
    void accessible_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("heard");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("shown");
        auto row = [](const char* name, const char* heard, const char* description, bool shown) {
            QTest::newRow(name) << name << heard << description << shown;
        };
        row("CmdSend", "Sync", "Sends the countdown and the brightness to the badge", true);
        row("CmdExit", "Exit", "Saves the settings and ends the program", true);
        row("ProgressBar1", "Sync progress", "How far the sync with the badge has come", true);
        // What each number stands for, as the port's tooltip tells it, is heard too.
        row("ComSele", "Port",
            "The serial port the badge is on, COM1 to COM32\nNo serial port found. Plug in the "
            "badge and start the program again, or pin a device in the section [Ports] of "
            "Vorlenta.ini.",
            true);
        row("Frame1", "Countdown and clock", "", true);
        row("LblDJS", "Countdown: 001:00:30:15",
            "Days, hours, minutes and seconds left until the target moment", true);
        row("LblNow", "Clock: 1 Jun 2015 12:00:00", "The current date and time", true);
        for (const char* hidden :
             {"ComYear", "ComMonth", "ComDay", "ComHour", "ComMinute", "ComSecond", "ComBright"}) {
            row(hidden, "", "", false);
        }
    }

    void accessible()
    {
        QFETCH(QString, name);
        QFETCH(QString, heard);
        QFETCH(QString, description);
        QFETCH(bool, shown);
        FormRig rig;
        QVERIFY(WriteFile(rig.settingsPath(), kDayAhead));
        rig.form.load();
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
        QTRY_VERIFY(rig.control<QLabel>("LblNow")->text() != u"YY-MM-DD hh:mm:ss");
        QWidget* widget = rig.control(qPrintable(name));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(iface);
        QCOMPARE(iface->state().invisible, !shown);
        if (!shown) {
            return;
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // Labelled by "Port :", whose buddy it is.
            QCOMPARE(combo->accessibleName(), heard);
            const auto labels = iface->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QCOMPARE(labels[0].first->text(QAccessible::Name), QStringLiteral("Port :"));
        } else {
            QCOMPARE(iface->text(QAccessible::Name), heard);
        }
        QCOMPARE(iface->text(QAccessible::Description), description);
        if (QAccessibleValueInterface* value = iface->valueInterface()) {
            // The idle progress bar is heard as empty.
            QCOMPARE(value->currentValue(), value->minimumValue());
        }
    }

    void clockInEveryLanguage_data()
    {
        QTest::addColumn<QLocale>("locale");
        const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                      QLocale::AnyTerritory);
        for (const QLocale& locale : locales) {
            QTest::newRow(qPrintable(locale.bcp47Name())) << locale;
        }
    }

    // In every language Qt knows, the clock is a clean text, whole in its label: no empty brackets
    // where the time zone was, no pattern letter Qt could not format, no separator at either end.
    void clockInEveryLanguage()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        FormRig rig;
        auto* clockLabel = rig.control<QLabel>("LblNow");
        const ClockText clock(locale);
        // What the text may hold in letters: the locale's names and the formats' quoted text.
        QStringList words;
        for (const QString& period : {locale.amText(), locale.pmText()}) {
            words << period << period.toUpper() << period.toLower();
        }
        for (int month = 1; month <= 12; ++month) {
            words << locale.monthName(month, QLocale::LongFormat)
                  << locale.monthName(month, QLocale::ShortFormat);
        }
        const QRegularExpression quoted(QStringLiteral("'([^']+)'"));
        for (const QString& format :
             {locale.dateFormat(QLocale::ShortFormat), locale.timeFormat(QLocale::LongFormat)}) {
            for (const auto& match : quoted.globalMatch(format)) {
                words << match.captured(1);
            }
        }
        std::sort(words.begin(), words.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        const QRegularExpression emptyBrackets(
            QStringLiteral("[(\\[\\x{FF08}\\x{FF3B}]\\s*[)\\]\\x{FF09}\\x{FF3D}]"));
        for (int month = 1; month <= 12; ++month) {
            for (const QTime time : {QTime(10, 58, 58), QTime(23, 58, 58)}) {
                const QString text = clock.format(QDateTime(QDate(2088, month, 28), time));
                QString letters = text;
                for (const QString& word : words) {
                    letters.remove(word);
                }
                auto separator = [](QChar c) { return c.isSpace() || c == u','; };
                QVERIFY2(!text.contains(emptyBrackets) && !separator(text.front()) &&
                             !separator(text.back()) &&
                             !letters.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
                         qPrintable(text));
                if (!drawable(clockLabel->font(), text)) {
                    QSKIP(qPrintable("no font on this machine draws " + text));
                }
                QVERIFY2(Whole(clockLabel->font(), text, clockLabel->contentsRect().width(), true),
                         qPrintable(text));
            }
        }
    }

    // The countdown and the clock count live. While nobody listens they announce nothing, however
    // often they change (the end-to-end test hears them with a screen reader's bus).
    void countsLive()
    {
        static int announced = 0;
        announced = 0;
        const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            const QString name = event->object()->objectName();
            if (event->type() == QAccessible::NameChanged &&
                (name == u"LblDJS" || name == u"LblNow")) {
                ++announced;
            }
        });
        const auto restore =
            qScopeGuard([previous] { QAccessible::installUpdateHandler(previous); });
        FormRig rig;
        QVERIFY(WriteFile(rig.settingsPath(), kDayAhead));
        rig.form.load();
        auto* countdown = rig.control<QLabel>("LblDJS");
        auto* clockLabel = rig.control<QLabel>("LblNow");
        QCOMPARE(countdown->text(), QStringLiteral("  001:00:30:15  "));
        QCOMPARE(clockLabel->text(), QStringLiteral("YY-MM-DD hh:mm:ss"));
        rig.form.show();

        QTRY_COMPARE(clockLabel->text(), QStringLiteral("1 Jun 2015 12:00:00"));
        rig.clock.advance(1);
        QTRY_COMPARE(countdown->text(), QStringLiteral("  001:00:30:14  "));
        QTRY_COMPARE(clockLabel->text(), QStringLiteral("1 Jun 2015 12:00:01"));
        rig.clock.advance(3600);
        QTRY_COMPARE(countdown->text(), QStringLiteral("  000:23:30:14  "));
        QVERIFY(rig.messages.shown.empty());
        QCOMPARE(announced, 0);
    }

    // Without a settings file the built-in target, the end of 2012, is long past: the message comes
    // during the load, before the window is shown, and nothing ticks afterwards.
    void outOfRangeAtStartStopsBeforeTheFirstTick()
    {
        FormRig rig;
        rig.form.load();
        const std::vector<ShownMessage> once{{"Down Count Days Out of Range!", "Note"}};
        QCOMPARE(rig.messages.shown, once);
        QVERIFY(!rig.control<QTimer>("Timer1")->isActive());
        rig.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
        QCOMPARE(rig.control<QLabel>("LblNow")->text(), QStringLiteral("YY-MM-DD hh:mm:ss"));
        QCOMPARE(rig.control<QLabel>("LblDJS")->text(), QStringLiteral(" -881:12:00:-1  "));
        QCOMPARE(rig.messages.shown, once);
    }
};

QUENTERRA_TEST_MAIN(TestWindow)
#include "tst_window.moc"
