#include "system/settingsfile/DiskSettingsFiles.h"

#include "settings/IniDocument.h"
#include "settings/SettingsStore.h"
#include "support/Fakes.h"
#include "support/Files.h"
#include "support/TestMain.h"
#include "system/settingsfile/ProgramFolder.h"
#include "system/settingsfile/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quenterra;
using namespace quenterra::test;

namespace {

// A path as the folder's real name and the file's name, also for a folder reached through a link.
QString where(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = QFileInfo(file.path()).canonicalFilePath();
    return (folder.isEmpty() ? QDir::cleanPath(file.absolutePath()) : folder) + '/' +
           file.fileName();
}

// The two Windows calls the settings file's format comes from, over the real file.
qint32 GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, qint32 defaultValue,
                             const QString& path)
{
    const std::optional<QByteArray> bytes = DiskSettingsFiles().read(path);
    return bytes ? ProfileInt(IniDocument(*bytes), section, key, defaultValue) : defaultValue;
}

bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                const QString& path)
{
    return DiskSettingsFiles().update(path, [&](const QByteArray& current) {
        IniDocument document(current);
        document.setValue(section, key, value);
        return document.bytes();
    });
}

}  // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(
            QString("%1-%2.ini").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    }

    // What is at the file's place, what reading gives, and whether a write replaces it. Whatever is
    // not a regular file of the user's own choosing is never waited on, read without end or
    // replaced.
    void readsIntegers_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint32>("expected");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("writable");
        const auto row = [](const char* name, const char* kind, const QByteArray& bytes,
                            qint32 expected, bool readable, bool writable) {
            QTest::newRow(name) << QByteArray(kind) << bytes << expected << readable << writable;
        };
        row("number", "file", "[S]\nK = -12\n", -12, true, true);
        row("missing file", "file", QByteArray(), 42, false, true);
        row("larger than any settings file", "file",
            "[S]\nK=7\n;" + QByteArray(DiskSettingsFiles::kMaxBytes, 'x') + "\n", 42, false, false);
        row("a save past the size the load reads", "file",
            "[S]\nL=7\n;" + QByteArray(DiskSettingsFiles::kMaxBytes - 12, 'x') + "\n", 42, true,
            false);
        row("UTF-16 with a byte order mark", "file",
            QByteArray("\xFF\xFE[\0S\0]\0\n\0K\0=\0\x31\0\n\0", 18), 42, false, false);
        row("UTF-16 without one", "file", QByteArray("[\0S\0]\0\n\0K\0=\0\x31\0\n\0", 16), 42,
            false, false);
        row("read-only file", "read-only", "[S]\nK=-12\n", -12, true, false);
        row("named pipe", "fifo", QByteArray(), 42, false, false);
        row("link to a device that never ends", "/dev/zero", QByteArray(), 42, false, false);
    }

    void readsIntegers()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(qint32, expected);
        QFETCH(bool, readable);
        QFETCH(bool, writable);
        const QByteArray encoded = QFile::encodeName(path_);
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
        } else if (kind == "/dev/zero") {
            QVERIFY(QFile::link(kind, path_));
        } else if (!bytes.isNull()) {
            QVERIFY(WriteFile(path_, bytes));
            if (kind == "read-only") {
                QVERIFY(QFile::setPermissions(
                    path_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            }
        }
        struct stat before {};
        ::lstat(encoded.constData(), &before);

        bool read = false;
        qint32 value = 0;
        bool written = false;
        QVERIFY(FinishesWithin(kHangBound, [&] {
            read = DiskSettingsFiles().read(path_).has_value();
            value = GetPrivateProfileIntA("S", "K", 42, path_);
            written = WritePrivateProfileStringA("S", "K", "5", path_);
        }));
        QCOMPARE(read, readable);
        QCOMPARE(value, expected);
        QCOMPARE(written, writable);
        if (writable) {
            QCOMPARE(GetPrivateProfileIntA("S", "K", 42, path_), 5);
            return;
        }
        struct stat after {};
        QCOMPARE(::lstat(encoded.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (!bytes.isNull()) {
            QCOMPARE(ReadFile(path_), bytes);
        }
    }

    void writeThroughAPlainFileFails()
    {
        QVERIFY(WriteFile(dir_.filePath("plainfile"), "x"));
        const QString path = dir_.filePath("plainfile/Vorlenta.ini");
        QVERIFY(!WritePrivateProfileStringA("S", "K", "1", path));
        QCOMPARE(GetPrivateProfileIntA("S", "K", 42, path), 42);
        QCOMPARE(ReadFile(dir_.filePath("plainfile")), QByteArray("x"));
    }

    // A save replaces the file as a whole, keeping its owner, group and mode, or leaves it as it
    // was; either way nothing else is left beside it.
    void saves_data()
    {
        QTest::addColumn<QByteArray>("situation");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QByteArray>("after");  // empty: as it was
        QTest::newRow("saved") << QByteArray() << QByteArray("2") << true
                               << QByteArray("[S]\r\nK=2\r\n\x7F\xFF", 12);
        QTest::newRow("unchanged") << QByteArray() << QByteArray("1") << true << QByteArray();
        QTest::newRow("another user's file, saved by root")
            << QByteArray("another user's") << QByteArray("2") << true
            << QByteArray("[S]\r\nK=2\r\n\x7F\xFF", 12);
        QTest::newRow("edited while the save writes: merged again")
            << QByteArray("edited") << QByteArray("2") << true
            << QByteArray("[S]\nK=2\nL=3\n[Notes]\n");
        QTest::newRow("past the file size limit")
            << QByteArray("limit") << QByteArray(1000, 'x') << false << QByteArray();
        QTest::newRow("another save that never ends")
            << QByteArray("held") << QByteArray("2") << false << QByteArray();
    }

    void saves()
    {
        QFETCH(QByteArray, situation);
        QFETCH(QByteArray, text);
        QFETCH(bool, saved);
        QFETCH(QByteArray, after);
        const QByteArray bytes("[S]\r\nK=1\r\n\x7F\xFF", 12);
        QVERIFY(WriteFile(path_, bytes));
        const QByteArray encoded = QFile::encodeName(path_);
        QCOMPARE(::chmod(encoded.constData(), 0640), 0);
        if (situation == "another user's" && ::chown(encoded.constData(), 65534, 65534) != 0) {
            QSKIP("only root can give a file to another user");
        }
        struct stat old {};
        QCOMPARE(::stat(encoded.constData(), &old), 0);
        QLockFile held(path_ + ".lock");
        QVERIFY(situation != "held" || held.lock());
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit before = limit;
        if (situation == "limit") {  // room for the lock, not for the new file
            limit.rlim_cur = 500;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        bool edited = false;
        const bool result = DiskSettingsFiles().update(path_, [&](const QByteArray& current) {
            if (situation == "edited" && !edited) {
                edited = WriteFile(path_, "[S]\nK=1\nL=3\n[Notes]\n");  // in place, as editors may
            }
            IniDocument document(current);
            document.setValue("S", "K", text);
            return document.bytes();
        });
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);
        QCOMPARE(result, saved);
        QCOMPARE(ReadFile(path_), after.isEmpty() ? bytes : after);
        struct stat now {};
        QCOMPARE(::stat(encoded.constData(), &now), 0);
        QCOMPARE(now.st_ino == old.st_ino, after.isEmpty());
        QCOMPARE(now.st_mode, old.st_mode);
        QCOMPARE(now.st_uid, old.st_uid);
        QCOMPARE(now.st_gid, old.st_gid);
        const QString name = QFileInfo(path_).fileName();
        QCOMPARE(QDir(dir_.path()).entryList({name + '*'}, QDir::AllEntries | QDir::System),
                 situation == "held" ? QStringList({name, name + ".lock"}) : QStringList({name}));
    }

    void writesThroughSymbolicLink_data()
    {
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<bool>("planted");  // another user's link in a folder everyone can write
        QTest::newRow("existing target") << true << false;
        QTest::newRow("missing target") << false << false;
        QTest::newRow("another user's link in a sticky folder") << true << true;
    }

    void writesThroughSymbolicLink()
    {
        QFETCH(bool, targetExists);
        QFETCH(bool, planted);
        const QString folder = QString("data-%1-%2").arg(targetExists).arg(planted);
        QVERIFY(QDir(dir_.path()).mkpath(folder));
        const QString target = dir_.filePath(folder + "/real.ini");
        if (targetExists) {
            QVERIFY(WriteFile(target, "[S]\nK=1\n"));
        }
        QString link = path_;
        if (planted) {
            QVERIFY(QDir(dir_.path()).mkpath("shared"));
            QCOMPARE(::chmod(QFile::encodeName(dir_.filePath("shared")).constData(), 01777), 0);
            link = dir_.filePath("shared/Vorlenta.ini");
        }
        QVERIFY(QFile::link((planted ? "../" : "") + folder + "/real.ini", link));  // relative
        if (planted && ::lchown(QFile::encodeName(link).constData(), 65534, 65534) != 0) {
            QSKIP("only root can give a link to another user");
        }
        QCOMPARE(GetPrivateProfileIntA("S", "K", 42, link), targetExists && !planted ? 1 : 42);
        QCOMPARE(WritePrivateProfileStringA("S", "K", "2", link), !planted);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(ReadFile(target), planted ? QByteArray("[S]\nK=1\n") : QByteArray("[S]\nK=2\n"));
        QVERIFY(!QFile::exists(target + ".lock"));
    }

    void concurrentSavesLoseNothing()
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
        const auto row = [](const char* name, const QByteArray& folderName, bool writable,
                            bool beside, bool userCopy, const char* load, const char* save) {
            QTest::newRow(name) << folderName << writable << beside << userCopy << QString(load)
                                << QString(save);
        };
        row("portable", "bin", true, true, false, "program", "program");
        row("portable, a user copy is ignored", "bin", true, true, true, "program", "program");
        row("installed, first run", "bin", false, false, false, "program", "user");
        row("installed, starting from the file beside the program", "bin", false, true, false,
            "program", "user");
        row("installed, the user's copy exists", "bin", false, true, true, "user", "user");
        row("portable, in a folder whose name is no valid text", "R\xE9ka", true, true, false,
            "program", "program");
        row("no program folder: never the working folder's file", QByteArray(), false, false, false,
            "user", "user");
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
        // Without a folder of the user's own, nothing is saved: never into the working folder.
        for (const QString& noFolder : {QString(), QStringLiteral("relative/quenterra")}) {
            const SettingsLocation nowhere = LocateSettings(QStringLiteral("/usr/bin"), noFolder);
            QCOMPARE(nowhere.loadPath, QStringLiteral("/usr/bin/Vorlenta.ini"));
            QCOMPARE(nowhere.savePath, QString());
        }
    }

    // The user's folder by the XDG rules; "~" stands for the home folder, "-" for a variable unset.
    void userFolder_data()
    {
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* configHome, const char* home,
                            const char* expected) {
            QTest::newRow(name) << QString(configHome) << QString(home) << QString(expected);
        };
        row("XDG_CONFIG_HOME", "/cfg", "~", "/cfg/quenterra");
        row("no XDG_CONFIG_HOME", "-", "~", "~/.config/quenterra");
        row("a relative XDG_CONFIG_HOME is ignored", "rel", "~", "~/.config/quenterra");
        row("no HOME: the user database's home", "-", "-", "pw/.config/quenterra");
        row("HOME at the root of the file system", "-", "/", "");
        row("HOME names no folder", "-", "~/missing", "");
        row("a relative HOME", "-", "rel", "");
    }

    void userFolder()
    {
        QFETCH(QString, configHome);
        QFETCH(QString, home);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const auto restore = [](const char* name, const QByteArray& value, bool was) {
            was ? qputenv(name, value) : qunsetenv(name);
        };
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        const QByteArray oldHome = qgetenv("HOME");
        const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const bool hadHome = qEnvironmentVariableIsSet("HOME");
        const auto cleanUp = qScopeGuard([&] {
            restore("XDG_CONFIG_HOME", oldConfig, hadConfig);
            restore("HOME", oldHome, hadHome);
        });
        const auto set = [&](const char* name, QString value) {
            value.replace(u'~', root.path());
            value == u"-" ? qunsetenv(name) : qputenv(name, QFile::encodeName(value));
        };
        set("XDG_CONFIG_HOME", configHome);
        set("HOME", home);
        const passwd* user = ::getpwuid(::geteuid());
        QVERIFY(user != nullptr);
        expected.replace(u'~', root.path())
            .replace(QStringLiteral("pw/"), QFile::decodeName(user->pw_dir) + u'/');
        if (expected.startsWith(u"//")) {
            QSKIP("this user's home is the root of the file system");
        }
        QCOMPARE(UserSettingsFolder(), expected);
    }

    // The first save of an installed program creates the user's copy, folder and all, from the
    // values read beside the program, which stays as it was; the copy says which file it replaces.
    // What root creates in a user's folder is that user's.
    void firstSaveOfAnInstalledProgram()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("Vorlenta.ini"));
        QVERIFY(WriteFile(
            program,
            "[Target Date]\nYear=2027\n[ShowBright]\nBrightValue=2\n[Ports]\nCOM4=/dev/x\n"));
        const QString userCopy = root.filePath(QStringLiteral("config/quenterra/Vorlenta.ini"));
        const bool asRoot = ::chown(QFile::encodeName(root.path()).constData(), 65534, 65534) == 0;
        HiddenSelectors selectors;
        DiskSettingsFiles files;
        SettingsStore settings({program, userCopy}, files);
        settings.load(selectors.settings());
        QCOMPARE(selectors.year.text(), QStringLiteral("2027"));
        QVERIFY(settings.save(selectors.settings()));
        QCOMPARE(ReadFile(userCopy),
                 "; Quenterra reads its settings from this file from now on, in place of " +
                     QFile::encodeName(program) +
                     "\n[Target Date]\nYear=2027\nMonth=12\nDay=31\n[ShowBright]\n"
                     "BrightValue=2\n[Ports]\nCOM4=/dev/x\n[Target Time]\nHour=23\nMinute=59\n"
                     "Second=59\n");
        QCOMPARE(ReadFile(program),
                 QByteArray("[Target Date]\nYear=2027\n[ShowBright]\nBrightValue=2\n[Ports]\n"
                            "COM4=/dev/x\n"));
        for (const QString& created :
             {root.filePath("config"), root.filePath("config/quenterra"), userCopy}) {
            QCOMPARE(QFileInfo(created).ownerId(), asRoot ? 65534u : ::geteuid());
        }
    }
};

QUENTERRA_TEST_MAIN(TestProfileFile)
#include "tst_settingsfile.moc"
