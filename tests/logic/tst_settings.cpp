// The settings file as the program loads it at start and saves it at exit, over files in memory.

#include <QTest>

#include "settings/SettingsStore.h"
#include "support/Fakes.h"
#include "support/MemorySettingsFiles.h"
#include "support/TestMain.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

using Selectors = HiddenSelectors;

const QByteArray kDefaultFile =
    "[Target Date]\nYear=2012\nMonth=12\nDay=31\n[Target Time]\nHour=23\nMinute=59\nSecond=59\n"
    "[ShowBright]\nBrightValue=4\n";

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    MemorySettingsFiles files_;
    static QString path() { return QStringLiteral("/home/u/quenterra/Vorlenta.ini"); }
    SettingsStore store() { return SettingsStore({path(), path()}, files_); }

private slots:
    void cleanup() { files_.files.clear(); }

    // What the file holds (null: there is none), the selectors' positions after the load, and the
    // file after the save (empty: as it was).
    void loadAndSave_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QByteArray>("saved");

        QTest::newRow("no file: the built-in target, and no file before the save")
            << QByteArray() << QList<int>{0, 11, 30, 23, 59, 59, 3} << kDefaultFile;
        QTest::newRow("one below each first item: no item chosen, written back as it was")
            << QByteArray(
                   "[Target Date]\nYear=2011\nMonth=0\nDay=0\n[Target Time]\nHour=-1\n"
                   "Minute=-1\nSecond=-1\n[ShowBright]\nBrightValue=0\n")
            << QList<int>{-1, -1, -1, -1, -1, -1, -1} << QByteArray();
        QTest::newRow("a target years after 2020")
            << QByteArray(
                   "[Target Date]\nYear=2027\nMonth=4\nDay=9\n[Target Time]\nHour=12\n"
                   "Minute=17\nSecond=52\n[ShowBright]\nBrightValue=3\n")
            << QList<int>{15, 3, 8, 12, 17, 52, 2} << QByteArray();
        QTest::newRow("the last items")
            << QByteArray(
                   "[Target Date]\nYear=2099\nMonth=12\nDay=31\n[Target Time]\nHour=23\n"
                   "Minute=59\nSecond=59\n[ShowBright]\nBrightValue=4\n")
            << QList<int>{87, 11, 30, 23, 59, 59, 3} << QByteArray();
        QTest::newRow("one past the last year")
            << QByteArray("[Target Date]\nYear=2100\n") << QList<int>{-1, 11, 30, 23, 59, 59, 3}
            << QByteArray(
                   "[Target Date]\nYear=2100\nMonth=12\nDay=31\n[Target Time]\nHour=23\n"
                   "Minute=59\nSecond=59\n[ShowBright]\nBrightValue=4\n");
        QTest::newRow("values that fit no item, or read as their item, are kept as they stand")
            << QByteArray(
                   "[Target Date]\nYear=20155\nMonth=13\nDay=-2\n[Target Time]\nHour=24\n"
                   "Minute=99999999999\nSecond=abc\n[ShowBright]\nBrightValue=5\n")
            << QList<int>{-1, -1, -1, -1, -1, 0, -1} << QByteArray();
        QTest::newRow("beyond 16 bits is never wrapped into the list")
            << QByteArray("[Target Date]\nYear=67548\n") << QList<int>{-1, 11, 30, 23, 59, 59, 3}
            << QByteArray(
                   "[Target Date]\nYear=67548\nMonth=12\nDay=31\n[Target Time]\nHour=23\n"
                   "Minute=59\nSecond=59\n[ShowBright]\nBrightValue=4\n");
        QTest::newRow("quotes and base prefixes are read as Windows reads them, and kept")
            << QByteArray(
                   "[Target Date]\nYear=\"2027\"\nMonth=0x4\nDay='9'\n[Target Time]\nHour=0o14\n"
                   "Minute=0b10001\nSecond=\" 52\"\n[ShowBright]\nBrightValue=+0x3\n")
            << QList<int>{15, 3, 8, 12, 17, 52, 2} << QByteArray();
        QTest::newRow("old Mac line ends")
            << QByteArray("[Target Date]\rYear=2027\rMonth=4\rDay=9\r")
            << QList<int>{15, 3, 8, 23, 59, 59, 3}
            << QByteArray(
                   "[Target Date]\rYear=2027\rMonth=4\rDay=9\r[Target Time]\rHour=23\rMinute=59\r"
                   "Second=59\r[ShowBright]\rBrightValue=4\r");
        QTest::newRow("blanks, signs, zeros and comments are read, and kept as they stand")
            << QByteArray(
                   "[Target Date]\nYear=2027 ; launch year\nMonth=04\nDay=9 # ninth\n"
                   "[Target Time]\nHour=\nMinute=+5\nSecond= 6\n[ShowBright]\nBrightValue=1\n")
            << QList<int>{15, 3, 8, 23, 5, 6, 0}
            << QByteArray(
                   "[Target Date]\nYear=2027 ; launch year\nMonth=04\nDay=9 # ninth\n"
                   "[Target Time]\nHour=23\nMinute=+5\nSecond= 6\n[ShowBright]\nBrightValue=1\n");
    }

    void loadAndSave()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, positions);
        QFETCH(QByteArray, saved);
        if (!file.isNull()) {
            files_.files.insert(path(), file);
        }
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.positions(), positions);
        QCOMPARE(files_.exists(path()), !file.isNull());
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(files_.bytes(path()), saved.isEmpty() ? file : saved);
    }

    // Every combination of items survives a save and the next load: each selector through its
    // whole list, the others at a varying item.
    void everyItemRoundTrips()
    {
        Selectors selectors;
        FakeSelector* const list[] = {&selectors.year,  &selectors.month,  &selectors.day,
                                      &selectors.hour,  &selectors.minute, &selectors.second,
                                      &selectors.bright};
        for (int which = 0; which < 7; ++which) {
            for (int item = 0; item < list[which]->count(); ++item) {
                QList<int> chosen;
                for (int other = 0; other < 7; ++other) {
                    const int position =
                        other == which ? item : (item + other) % list[other]->count();
                    list[other]->setListPosition(position);
                    chosen << position;
                }
                QVERIFY(store().save(selectors.settings()));
                Selectors reloaded;
                store().load(reloaded.settings());
                QCOMPARE(reloaded.positions(), chosen);
                files_.files.clear();
            }
        }
    }

    void everythingElseSurvives()
    {
        const QByteArray file =
            "; Quenterra settings\r\n[Unknown]\r\nKey=\xC3\xA9t\xC3\xA9\r\n\r\n[target date]\r\n"
            "yEaR=2015\r\n# note\r\nmonth = 3\r\nDAY=8\r\n[Ports]\r\nCOM7=/dev/pts/9\r\n"
            "[Target Time]\r\nHour=7\r\nMinute=5\r\nSecond=0\r\n[SHOWBRIGHT]\r\nBrightValue=2\r\n";
        files_.files.insert(path(), file);
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.positions(), (QList<int>{3, 2, 7, 7, 5, 0, 1}));
        QCOMPARE(settings.portPins(), (QMap<int, QString>{{7, QStringLiteral("/dev/pts/9")}}));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(files_.bytes(path()), file);
    }

    // The user's edit, made while the program runs, wins over what the load read; the other keys
    // are written as usual.
    void editWhileRunningIsKept()
    {
        files_.files.insert(path(), "[Target Date]\nYear=2015\nMonth=3\nDay=8\n");
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        files_.files.insert(path(),
                            "[Target Date]\nYear=2019\nMonth=3\n[ShowBright]\nBrightValue=1\n");
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(files_.bytes(path()),
                 QByteArray("[Target Date]\nYear=2019\nMonth=3\n[ShowBright]\nBrightValue=1\n"
                            "[Target Time]\nHour=23\nMinute=59\nSecond=59\n"));
    }
};

QUENTERRA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
