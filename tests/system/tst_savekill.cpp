// Saves that are killed: a child process saves the settings over and over, alternating between two
// targets, and is killed with SIGKILL at a random moment, hundreds of times. After every kill the
// settings file is whole and holds one target or the other, and no temporary files pile up.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include <unistd.h>

#include "settings/SettingsStore.h"
#include "support/Fakes.h"
#include "support/TestMain.h"
#include "system/settingsfile/DiskSettingsFiles.h"

using namespace quenterra;
using namespace quenterra::test;

namespace {

// Makes the test's own executable the saving child: tst_savekill --keep-saving <file>.
constexpr char kKeepSaving[] = "--keep-saving";

struct Target {
    int year, month, day, hour, minute, second, bright;
};
constexpr Target kTargets[2] = {{2027, 4, 9, 12, 0, 0, 4}, {2031, 11, 23, 7, 45, 30, 1}};

void choose(HiddenSelectors& selectors, const Target& target)
{
    selectors.setTarget(target.year, target.month, target.day, target.hour, target.minute,
                        target.second);
    selectors.bright.setListPosition(target.bright - 1);
}

QList<int> positionsOf(const Target& target)
{
    HiddenSelectors selectors;
    choose(selectors, target);
    return selectors.positions();
}

// Which of the two targets the settings file holds as the program loads it; -1 for neither.
int loadedTarget(const QString& path)
{
    HiddenSelectors selectors;
    DiskSettingsFiles files;
    SettingsStore({path, path}, files).load(selectors.settings());
    for (int which = 0; which < 2; ++which) {
        if (selectors.positions() == positionsOf(kTargets[which])) {
            return which;
        }
    }
    return -1;
}

// The program's start and exit, in this process: loads the file, chooses the target, saves.
bool saveTarget(const QString& path, const Target& target)
{
    HiddenSelectors selectors;
    DiskSettingsFiles files;
    SettingsStore store({path, path}, files);
    store.load(selectors.settings());
    choose(selectors, target);
    return store.save(selectors.settings());
}

void writeOut(char c)
{
    while (::write(STDOUT_FILENO, &c, 1) != 1) {
        if (errno != EINTR) {
            ::_exit(2);
        }
    }
}

// The child: writes "r", then, as if the program were started and closed over and over, loads the
// file and saves the other target, writing "." after every completed save, until it is killed.
int keepSaving(const QString& path)
{
    const QList<int> first = positionsOf(kTargets[0]);
    HiddenSelectors selectors;
    DiskSettingsFiles files;
    SettingsStore store({path, path}, files);
    writeOut('r');
    for (;;) {
        store.load(selectors.settings());
        choose(selectors, kTargets[selectors.positions() == first ? 1 : 0]);
        if (!store.save(selectors.settings())) {
            std::fprintf(stderr, "the save failed\n");
            return 1;
        }
        writeOut('.');
    }
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

constexpr int kGenerousMs = 60'000;  // for a child to start or to die; never reached in practice

// A child saving to path, with what it has reported so far.
class SavingChild {
public:
    explicit SavingChild(const QString& path)
    {
        process_.start(QCoreApplication::applicationFilePath(), {kKeepSaving, path});
    }
    ~SavingChild()
    {
        process_.kill();
        process_.waitForFinished(kGenerousMs);
    }

    QProcess& process() { return process_; }
    int saves() const { return static_cast<int>(reports_.count('.')); }

    // Waits until the child has started saving and has completed `saves` saves; false when it
    // stopped instead.
    bool waitUntilSaved(int saves)
    {
        while (!reports_.startsWith('r') || this->saves() < saves) {
            if (!process_.waitForReadyRead(kGenerousMs)) {
                return false;
            }
            reports_ += process_.readAllStandardOutput();
        }
        return true;
    }

    // Kills the child; false when it had stopped on its own.
    bool kill()
    {
        process_.kill();
        if (!process_.waitForFinished(kGenerousMs)) {
            return false;
        }
        reports_ += process_.readAllStandardOutput();
        return process_.exitStatus() == QProcess::CrashExit;
    }

    QByteArray errors() { return process_.readAllStandardError(); }

private:
    QProcess process_;
    QByteArray reports_;
};

}  // namespace

class TestSaveKill : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void killedSavesLeaveOldOrNew_data();
    void killedSavesLeaveOldOrNew();

private:
    qint64 saveMicroseconds_ = 0;  // how long one load and save takes here
};

// A child left to save a number of times shows how long a save takes on this machine, so that the
// kills can be spread over whole saves. Only where the kills land depends on it, no check does.
void TestSaveKill::initTestCase()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(kSettingsFileName);
    QVERIFY(saveTarget(path, kTargets[0]));
    constexpr int kSaves = 20;
    SavingChild child(path);
    QVERIFY2(child.waitUntilSaved(1), child.errors().constData());
    QElapsedTimer timer;
    timer.start();
    QVERIFY2(child.waitUntilSaved(1 + kSaves), child.errors().constData());
    saveMicroseconds_ = timer.nsecsElapsed() / 1000 / kSaves;
    QVERIFY(child.kill());
    qInfo("one load and save takes %lld us", saveMicroseconds_);
}

void TestSaveKill::killedSavesLeaveOldOrNew_data()
{
    QTest::addColumn<QByteArray>("start");  // the file holding the first target; empty: as saved
    QTest::addColumn<int>("kills");
    QTest::newRow("as the program writes it") << QByteArray() << 150;
    QTest::newRow("edited by hand")
        << QByteArray(
               "\xEF\xBB\xBF; Badge settings\r\n[target date]\r\nyear = 2027\r\nMONTH=4\r\n"
               "Day=9\r\n\r\n[Ports]\r\nCOM7=/dev/serial/by-id/usb-1a86-port0\r\n"
               "[Target Time]\r\nHour=12\r\n# minutes and seconds\r\nMinute =\t0\r\nSecond=0\r\n"
               "[ShowBright]\r\nBrightValue=4")
        << 150;
}

void TestSaveKill::killedSavesLeaveOldOrNew()  // NOLINT(readability-make-member-function-const)
{
    QFETCH(QByteArray, start);
    QFETCH(int, kills);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(kSettingsFileName);
    const QString temporary = kSettingsFileName + QStringLiteral(".saving");

    // The two files the child writes in turn, as complete saves in this process make them.
    if (start.isEmpty()) {
        QVERIFY(saveTarget(path, kTargets[0]));
    } else {
        QVERIFY(writeFile(path, start));
    }
    const QByteArray first = contentOf(path);
    QCOMPARE(loadedTarget(path), 0);
    QVERIFY(saveTarget(path, kTargets[1]));
    const QByteArray second = contentOf(path);
    QCOMPARE(loadedTarget(path), 1);
    QVERIFY(saveTarget(path, kTargets[0]));
    QCOMPARE(contentOf(path), first);
    const QByteArray contents[2] = {first, second};

    QRandomGenerator random(2012);
    int holds = 0;  // which of the two the file holds
    int saves = 0;
    int killedMidSave = 0;       // a temporary file was left behind
    int killedBeforeReport = 0;  // the file was new, the child had not said so yet
    for (int kill = 0; kill < kills; ++kill) {
        const QByteArray context = QByteArray("kill ") + QByteArray::number(kill);
        SavingChild child(path);
        // Once the child is saving, and in some rounds after a few completed saves, a kill at a
        // random moment within the next two saves.
        const int savesBefore = kill % 4 == 0 ? random.bounded(1, 4) : 0;
        QVERIFY2(child.waitUntilSaved(savesBefore), (context + ": " + child.errors()).constData());
        std::this_thread::sleep_for(
            std::chrono::microseconds(random.bounded(2 * saveMicroseconds_ + 1)));
        QVERIFY2(child.kill(),
                 (context + ": the child stopped on its own: " + child.errors()).constData());

        const QStringList entries =
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            QVERIFY2(entry == kSettingsFileName || entry == temporary,
                     (context + ": left behind: " + entry.toLocal8Bit()).constData());
        }
        killedMidSave += entries.contains(temporary) ? 1 : 0;

        // The last completed save's target, or the one the save under way was writing when it
        // had replaced the file but not yet said so.
        const QByteArray now = contentOf(path);
        QVERIFY2(!now.isEmpty(), (context + ": the file is missing or empty").constData());
        const int loaded = loadedTarget(path);
        QVERIFY2(loaded >= 0, (context + ": a mix of the two targets:\n" + now).constData());
        const int completed = child.saves();
        const int expected = (holds + completed) % 2;
        QVERIFY2(now == contents[expected] || now == contents[1 - expected],
                 (context + ": neither the last nor the next save:\n" + now).constData());
        killedBeforeReport += now == contents[expected] ? 0 : 1;
        holds = now == contents[0] ? 0 : 1;
        saves += completed;
    }
    QVERIFY2(saves > 0, "no save was ever completed");
    qInfo(
        "%d kills, %d completed saves; %d kills left a temporary file, %d came after the new "
        "file was in place but before the child said so",
        kills, saves, killedMidSave, killedBeforeReport);

    // The next save replaces whatever was left and leaves nothing behind.
    QVERIFY(saveTarget(path, kTargets[1 - holds]));
    QCOMPARE(contentOf(path), contents[1 - holds]);
    QCOMPARE(QDir(folder.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{kSettingsFileName});
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], kKeepSaving) == 0) {
        return keepSaving(QFile::decodeName(argv[2]));
    }
    quenterra::test::pinEnvironment("UTC");
    QCoreApplication app(argc, argv);
    TestSaveKill test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savekill.moc"
