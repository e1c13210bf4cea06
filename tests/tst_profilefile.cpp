#include "platform/PrivateProfile.h"
#include "platform/ProfileFile.h"

#include "support/Files.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

using namespace quenterra;
using namespace quenterra::test;

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void readsIntegers_data();
    void readsIntegers();
    void writeCreatesFileAndKeepsTheRest();
    void writeThroughAPlainFileFails();
    void savesAtomically_data();
    void savesAtomically();
    void writesThroughSymbolicLink_data();
    void writesThroughSymbolicLink();
    void concurrentSavesLoseNothing();

private:
    QTemporaryDir dir_;
    QString path_;
};

void TestProfileFile::init()
{
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(
        QString("%1-%2.ini").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
}

void TestProfileFile::readsIntegers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("number") << QByteArray("[S]\nK = -12\n") << -12;
    QTest::newRow("not a number") << QByteArray("[S]\nK=x\n") << 0;
    QTest::newRow("empty value") << QByteArray("[S]\nK=\n") << 42;
    QTest::newRow("missing key") << QByteArray("[S]\nL=1\n") << 42;
    QTest::newRow("missing file") << QByteArray() << 42;
}

void TestProfileFile::readsIntegers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint32, expected);
    if (!bytes.isNull()) {
        QVERIFY(WriteFile(path_, bytes));
    }
    QCOMPARE(ProfileFile(path_).read().has_value(), !bytes.isNull());
    QCOMPARE(GetPrivateProfileIntA("S", "K", 42, path_), expected);
}

void TestProfileFile::writeCreatesFileAndKeepsTheRest()
{
    QVERIFY(WritePrivateProfileStringA("Target Date", "Year", "2012", path_));
    QCOMPARE(ReadFile(path_), QByteArray("[Target Date]\nYear=2012\n"));
    QVERIFY(WriteFile(path_, "; \xE9\r\n[target date]\r\nYEAR = 1999\r\n[ShowBright]\r\n"));
    QVERIFY(WritePrivateProfileStringA("Target Date", "Year", "2013", path_));
    QVERIFY(WritePrivateProfileStringA("ShowBright", "BrightValue", "4", path_));
    QCOMPARE(
        ReadFile(path_),
        QByteArray("; \xE9\r\n[target date]\r\nYEAR = 2013\r\n[ShowBright]\r\nBrightValue=4\r\n"));
    QVERIFY(!WritePrivateProfileStringA("ShowBright", "BrightValue", "4\n[X]", path_));
}

void TestProfileFile::writeThroughAPlainFileFails()
{
    QVERIFY(WriteFile(dir_.filePath("plainfile"), "x"));
    const QString path = dir_.filePath("plainfile/Vorlenta.ini");
    QVERIFY(!WritePrivateProfileStringA("S", "K", "1", path));
    QCOMPARE(GetPrivateProfileIntA("S", "K", 42, path), 42);
    QCOMPARE(ReadFile(dir_.filePath("plainfile")), QByteArray("x"));
}

void TestProfileFile::savesAtomically_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("hookAllows");
    QTest::addColumn<bool>("leftover");  // a temporary file as a killed save leaves it
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("hookCalls");
    QTest::newRow("saved") << QByteArray("2") << true << false << true << 1;
    QTest::newRow("leftover reused") << QByteArray("2") << true << true << true << 1;
    QTest::newRow("abandoned") << QByteArray("2") << false << true << false << 1;
    QTest::newRow("unchanged") << QByteArray("1") << true << true << false << 0;
}

void TestProfileFile::savesAtomically()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, hookAllows);
    QFETCH(bool, leftover);
    QFETCH(bool, saved);
    QFETCH(int, hookCalls);
    const QByteArray old("[S]\r\nK=1\r\n\0\xFF", 12);
    QVERIFY(WriteFile(path_, old));
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path_, permissions));
    if (leftover) {
        QVERIFY(WriteFile(path_ + ".saving", QByteArray(4096, 'z')));  // longer than what is saved
    }
    ProfileFile file(path_);
    int calls = 0;
    file.setBeforeReplaceHook([&] {
        ++calls;
        return hookAllows;
    });
    QCOMPARE(file.update([&](IniDocument& document) { document.setValue("S", "K", text); }),
             saved || hookAllows);
    QCOMPARE(calls, hookCalls);
    QCOMPARE(ReadFile(path_), saved ? QByteArray("[S]\r\nK=2\r\n\0\xFF", 12) : old);
    QCOMPARE(QFile::permissions(path_) & ~(QFile::ReadUser | QFile::WriteUser), permissions);
    QVERIFY(!QFile::exists(path_ + ".saving"));
}

void TestProfileFile::writesThroughSymbolicLink_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("existing target") << true;
    QTest::newRow("missing target") << false;
}

void TestProfileFile::writesThroughSymbolicLink()
{
    QFETCH(bool, targetExists);
    const QString folder = QString("data-%1").arg(targetExists);
    QVERIFY(QDir(dir_.path()).mkpath(folder));
    const QString target = dir_.filePath(folder + "/real.ini");
    if (targetExists) {
        QVERIFY(WriteFile(target, "[S]\nK=1\n"));
    }
    QVERIFY(QFile::link(folder + "/real.ini", path_));  // relative to the link's folder
    QVERIFY(WritePrivateProfileStringA("S", "K", "2", path_));
    QVERIFY(QFileInfo(path_).isSymLink());
    QCOMPARE(ReadFile(target), QByteArray("[S]\nK=2\n"));
    QVERIFY(!QFile::exists(target + ".saving"));
}

void TestProfileFile::concurrentSavesLoseNothing()
{
    constexpr int kWriters = 4;
    constexpr int kKeys = 10;
    std::atomic<int> failures = 0;
    std::vector<std::thread> writers;
    writers.reserve(kWriters);
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([this, writer, &failures] {
            for (int key = 0; key < kKeys; ++key) {
                const QByteArray name = QByteArray::number(writer * kKeys + key);
                failures += WritePrivateProfileStringA("S", name, "1", path_) ? 0 : 1;
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    QCOMPARE(failures.load(), 0);
    for (int key = 0; key < kWriters * kKeys; ++key) {
        QCOMPARE(GetPrivateProfileIntA("S", QByteArray::number(key), 0, path_), 1);
    }
}

QUENTERRA_TEST_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
