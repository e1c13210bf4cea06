#include "system/settingsfile/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace quenterra {
namespace {

// A home folder that can hold the user's files: an existing folder, named by an absolute path,
// that is not the root of the file system.
bool UsableHome(const QString& path)
{
    const QFileInfo folder(path);
    return QDir::isAbsolutePath(path) && folder.isDir() && folder.canonicalFilePath() != u"/";
}

// $HOME where it is set; where it is not, the user database's entry. Empty when it is not usable.
QString HomeFolder()
{
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr) {
            home = QFile::decodeName(found->pw_dir);
        }
    }
    return UsableHome(home) ? home : QString();
}

}  // namespace

QString UserSettingsFolder()
{
    // The XDG rules: a relative $XDG_CONFIG_HOME is to be ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {
        const QString home = HomeFolder();
        if (home.isEmpty()) {
            return {};
        }
        config = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(config) + QStringLiteral("/quenterra");
}

}  // namespace quenterra
