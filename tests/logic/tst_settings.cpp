// The settings file as the program loads it at start and saves it at exit, on real files.

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "settings/SettingsStore.h"
#include "support/Fakes.h"
#include "support/Files.h"
#include "support/TestMain.h"
#include "system/ProgramFolder.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

using Selectors = HiddenSelectors;

// A path as the folder's real name and the file's name, also for a folder reached through a link.
QString where(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = QFileInfo(file.path()).canonicalFilePath();
    return (folder.isEmpty() ? QDir::cleanPath(file.absolutePath()) : folder) + '/' +
           file.fileName();
}

const QByteArray kDefaultFile =
    "[Target Date]\nYear=2012\nMonth=12\nDay=31\n[Target Time]\nHour=23\nMinute=59\nSecond=59\n"
    "[ShowBright]\nBrightValue=4\n";

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString path() const { return folder_.filePath(QStringLiteral("Vorlenta.ini")); }
    SettingsStore store() const { return SettingsStore({path(), path()}, DiskFiles()); }

private slots:
    void cleanup() { QFile::remove(path()); }

    void firstRunWithoutAFile()
    {
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.texts(), (QStringList{"2012", "12", "31", "23", "59", "59", "4"}));
        QVERIFY2(!QFile::exists(path()), "the load creates no file");
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(path()), kDefaultFile);
    }

    void onlyTheBrightness()
    {
        QVERIFY(WriteFile(path(), "[ShowBright]\nBrightValue=2\n"));
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.texts(), (QStringList{"2012", "12", "31", "23", "59", "59", "2"}));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(path()),
                 QByteArray("[ShowBright]\nBrightValue=2\n[Target Date]\nYear=2012\nMonth=12\n"
                            "Day=31\n[Target Time]\nHour=23\nMinute=59\nSecond=59\n"));
    }

    // What the file holds, the selectors' positions after the load, and the file after the save.
    void loadAndSave_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QByteArray>("saved");

        QTest::newRow("the example target")
            << QByteArray(
                   "[Target Date]\nYear=2015\nMonth=3\nDay=8\n[Target Time]\nHour=7\n"
                   "Minute=5\nSecond=0\n[ShowBright]\nBrightValue=2\n")
            << QList<int>{3, 2, 7, 7, 5, 0, 1} << QByteArray();
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
        QTest::newRow("values that fit no item are kept as they stand")
            << QByteArray(
                   "[Target Date]\nYear=20155\nMonth=13\nDay=-2\n[Target Time]\nHour=24\n"
                   "Minute=99999999999\nSecond=abc\n[ShowBright]\nBrightValue=5\n")
            << QList<int>{-1, -1, -1, -1, -1, 0, -1}
            << QByteArray(
                   "[Target Date]\nYear=20155\n"
                   "Month=13\nDay=-2\n[Target Time]\n"
                   "Hour=24\nMinute=99999999999\n"
                   "Second=0\n[ShowBright]\n"
                   "BrightValue=5\n");
        QTest::newRow("beyond 16 bits is never wrapped into the list")
            << QByteArray("[Target Date]\nYear=67548\n") << QList<int>{-1, 11, 30, 23, 59, 59, 3}
            << QByteArray(
                   "[Target Date]\nYear=67548\nMonth=12\nDay=31\n[Target Time]\nHour=23\n"
                   "Minute=59\nSecond=59\n[ShowBright]\nBrightValue=4\n");
        QTest::newRow("blanks and signs are read, then written plainly")
            << QByteArray(
                   "[Target Date]\nYear= 2016\nMonth=+2\nDay=029\n[Target Time]\nHour=\n"
                   "Minute=5\nSecond=6\n[ShowBright]\nBrightValue=1\n")
            << QList<int>{4, 1, 28, 23, 5, 6, 0}
            << QByteArray(
                   "[Target Date]\nYear= 2016\nMonth=2\nDay=29\n[Target Time]\nHour=23\n"
                   "Minute=5\nSecond=6\n[ShowBright]\nBrightValue=1\n");
    }

    void loadAndSave()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, positions);
        QFETCH(QByteArray, saved);
        QVERIFY(WriteFile(path(), file));
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.positions(), positions);
        for (const FakeSelector* s : {&selectors.year, &selectors.month, &selectors.bright}) {
            if (s->listPosition() == -1) {
                QCOMPARE(s->text(), QString());
            }
        }
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(path()), saved.isEmpty() ? file : saved);
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
                QVERIFY(SettingsStore({path(), path()}, DiskFiles()).save(selectors.settings()));
                Selectors reloaded;
                store().load(reloaded.settings());
                QCOMPARE(reloaded.positions(), chosen);
                QFile::remove(path());
            }
        }
    }

    void everythingElseSurvives()
    {
        const QByteArray file =
            "; Quenterra settings\r\n[Unknown]\r\nKey=\xC3\xA9t\xC3\xA9\r\n\r\n[target date]\r\n"
            "yEaR=2015\r\n# note\r\nmonth = 3\r\nDAY=8\r\n[Ports]\r\nCOM7=/dev/pts/9\r\n"
            "[Target Time]\r\nHour=7\r\nMinute=5\r\nSecond=0\r\n[SHOWBRIGHT]\r\nBrightValue=2\r\n";
        QVERIFY(WriteFile(path(), file));
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QCOMPARE(selectors.positions(), (QList<int>{3, 2, 7, 7, 5, 0, 1}));
        QCOMPARE(settings.portPins(), (QMap<int, QString>{{7, QStringLiteral("/dev/pts/9")}}));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(path()), file);
    }

    // The user's edit, made while the program runs, wins over what the load read; the other keys
    // are written as usual.
    void editWhileRunningIsKept()
    {
        QVERIFY(WriteFile(path(), "[Target Date]\nYear=2015\nMonth=3\nDay=8\n"));
        Selectors selectors;
        SettingsStore settings = store();
        settings.load(selectors.settings());
        QVERIFY(
            WriteFile(path(), "[Target Date]\nYear=2019\nMonth=3\n[ShowBright]\nBrightValue=1\n"));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(path()),
                 QByteArray("[Target Date]\nYear=2019\nMonth=3\n[ShowBright]\nBrightValue=1\n"
                            "[Target Time]\nHour=23\nMinute=59\nSecond=59\n"));
    }

    // A folder that cannot be written: the save fails quietly and leaves nothing behind.
    void unwritableFolder()
    {
        const QString plainFile = folder_.filePath(QStringLiteral("not-a-folder"));
        QVERIFY(WriteFile(plainFile, "x"));
        const QString inside = plainFile + QStringLiteral("/Vorlenta.ini");
        Selectors selectors;
        SettingsStore settings({inside, inside}, DiskFiles());
        settings.load(selectors.settings());
        QCOMPARE(selectors.texts(), (QStringList{"2012", "12", "31", "23", "59", "59", "4"}));
        QVERIFY(!settings.save(selectors.settings()));
        QCOMPARE(ReadFile(plainFile), QByteArray("x"));
    }

    // An installed program cannot write its own folder: the user's copy holds the settings, and
    // until it exists, the file beside the program is the starting point. The program's folder is
    // found from the executable's path as the system gives it.
    void location_data()
    {
        QTest::addColumn<QByteArray>("folderName");  // empty: the executable's path is unknown
        QTest::addColumn<bool>("programFolderWritable");
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<bool>("userCopy");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QString>("save");
        QTest::newRow("portable") << QByteArray("bin") << true << true << false << "program"
                                  << "program";
        QTest::newRow("portable, a user copy is ignored")
            << QByteArray("bin") << true << true << true << "program"
            << "program";
        QTest::newRow("installed, first run")
            << QByteArray("bin") << false << false << false << "program"
            << "user";
        QTest::newRow("installed, starting from the file beside the program")
            << QByteArray("bin") << false << true << false << "program"
            << "user";
        QTest::newRow("installed, the user's copy exists")
            << QByteArray("bin") << false << true << true << "user"
            << "user";
        QTest::newRow("portable, in a folder whose name is no valid text")
            << QByteArray("R\xE9ka") << true << true << false << "program"
            << "program";
        QTest::newRow("no program folder: never the working folder's file")
            << QByteArray() << false << false << false << "user"
            << "user";
    }

    void location()
    {
        QFETCH(QByteArray, folderName);
        QFETCH(bool, programFolderWritable);
        QFETCH(bool, besideProgram);
        QFETCH(bool, userCopy);
        QFETCH(QString, load);
        QFETCH(QString, save);
        QTemporaryDir root;
        const QByteArray rootName = QFile::encodeName(root.path());
        // Tests may run as root, whom permissions do not stop: a program "folder" that is a plain
        // file can be written by no one.
        const QByteArray program = rootName + '/' + (folderName.isEmpty() ? "bin" : folderName);
        const QString user = root.filePath(QStringLiteral("config/quenterra"));
        if (programFolderWritable || besideProgram) {
            QCOMPARE(::mkdir(program.constData(), 0700), 0);
        }
        if (besideProgram) {
            QVERIFY(WriteNative(program + "/Vorlenta.ini", "[ShowBright]\nBrightValue=2\n"));
        }
        if (userCopy) {
            QVERIFY(QDir().mkpath(user));
            QVERIFY(
                WriteFile(user + QStringLiteral("/Vorlenta.ini"), "[ShowBright]\nBrightValue=3\n"));
        }
        const QString notAFolder = root.filePath(QStringLiteral("plain"));
        QVERIFY(WriteFile(notAFolder, "x"));
        // A file in the working folder that must never be taken for the settings file.
        const QString workingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        QVERIFY(WriteFile(QStringLiteral("Vorlenta.ini"), "[ShowBright]\nBrightValue=1\n"));
        // QTemporaryDir cannot remove what has no valid text for a name.
        const auto cleanUp = qScopeGuard([&] {
            QDir::setCurrent(workingFolder);
            ::unlink((program + "/Vorlenta.ini").constData());
            ::rmdir(program.constData());
        });
        const QByteArray folder = programFolderWritable ? program : QFile::encodeName(notAFolder);
        const SettingsLocation location = LocateSettings(
            ProgramFolder(folderName.isEmpty() ? QByteArray() : folder + "/quenterra"), user);

        const QByteArray programFile = folder + "/Vorlenta.ini";
        const QString userFile = user + QStringLiteral("/Vorlenta.ini");
        QCOMPARE(where(location.loadPath),
                 where(load == "program" ? QFile::decodeName(programFile) : userFile));
        QCOMPARE(where(location.savePath),
                 where(save == "program" ? QFile::decodeName(programFile) : userFile));
        // What the load reads is the file it should read, whatever its folder is called.
        QCOMPARE(ReadFile(location.loadPath),
                 load == "program" ? ReadNative(programFile) : ReadFile(userFile));
    }

    void installedUnderUsrUsesTheUserCopy()
    {
        const SettingsLocation location =
            LocateSettings(QStringLiteral("/usr/bin"), QStringLiteral("/home/u/.config/quenterra"));
        QCOMPARE(location.loadPath, QStringLiteral("/usr/bin/Vorlenta.ini"));
        QCOMPARE(location.savePath, QStringLiteral("/home/u/.config/quenterra/Vorlenta.ini"));
    }

    // The first save of an installed program creates the user's copy, folder and all, from the
    // values read beside the program, which stays as it was.
    void firstSaveOfAnInstalledProgram()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("Vorlenta.ini"));
        QVERIFY(WriteFile(
            program,
            "[Target Date]\nYear=2027\n[ShowBright]\nBrightValue=2\n[Ports]\nCOM4=/dev/x\n"));
        const QString userCopy = root.filePath(QStringLiteral("config/quenterra/Vorlenta.ini"));
        Selectors selectors;
        SettingsStore settings({program, userCopy}, DiskFiles());
        settings.load(selectors.settings());
        QCOMPARE(selectors.year.text(), QStringLiteral("2027"));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(userCopy),
                 QByteArray("[Target Date]\nYear=2027\nMonth=12\nDay=31\n[ShowBright]\n"
                            "BrightValue=2\n[Ports]\nCOM4=/dev/x\n[Target Time]\nHour=23\n"
                            "Minute=59\nSecond=59\n"));
        QCOMPARE(ReadFile(program),
                 QByteArray("[Target Date]\nYear=2027\n[ShowBright]\nBrightValue=2\n[Ports]\n"
                            "COM4=/dev/x\n"));
    }
};

QUENTERRA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
