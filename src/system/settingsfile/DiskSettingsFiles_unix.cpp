#include "system/settingsfile/DiskSettingsFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <utility>

namespace quenterra {

namespace {

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// Whether a symbolic link may be followed: only where no one else could have put it there. That is
// a folder that only its owner, the user or root, can write; or a link of the user's own in the
// user's own folder, or in a sticky one, where others can neither remove nor rename it.
bool MayFollow(const struct stat& folder, const struct stat& link)
{
    const uid_t user = ::geteuid();
    const bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
                                (folder.st_uid != user && folder.st_uid != 0);
    const bool ours =
        link.st_uid == user && (folder.st_uid == user || (folder.st_mode & S_ISVTX) != 0);
    return !othersMayWrite || ours;
}

// The owner and group that what root creates in folder is given: the folder's. Anyone else's new
// files stay as the system makes them (-1: unchanged).
std::pair<uid_t, gid_t> OwnerFor(const QByteArray& folder)
{
    struct stat info;
    if (::geteuid() != 0 || ::stat(folder.constData(), &info) != 0) {
        return {static_cast<uid_t>(-1), static_cast<gid_t>(-1)};
    }
    return {info.st_uid, info.st_gid};
}

}  // namespace

DiskSettingsFiles::DiskSettingsFiles()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

std::optional<QString> DiskSettingsFiles::followLinks(const QString& path)
{
    QByteArray name = QFile::encodeName(path);
    for (int depth = 0; depth < 40 && !name.contains('\0'); ++depth) {
        struct stat link;
        if (::lstat(name.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            const QString file = QFile::decodeName(name);
            return QFile::encodeName(file) == name ? std::optional<QString>(file) : std::nullopt;
        }
        struct stat folder;
        struct stat again;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(name.constData(), target, sizeof target);
        // Looked at again: the name may have been given to another link meanwhile.
        if (::stat(FolderOf(name).constData(), &folder) != 0 || !MayFollow(folder, link) ||
            length <= 0 || length == sizeof target || ::lstat(name.constData(), &again) != 0 ||
            again.st_ino != link.st_ino || again.st_dev != link.st_dev) {
            return std::nullopt;
        }
        const QByteArray next(target, length);
        name = next.startsWith('/') ? next : FolderOf(name) + '/' + next;
    }
    return std::nullopt;
}

std::optional<DiskSettingsFiles::Found> DiskSettingsFiles::find(const QString& file)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0) {
        return errno == ENOENT ? std::optional<Found>(Found()) : std::nullopt;
    }
    // Nothing but a regular file is opened, and never so that the open could wait.
    const int fd =
        S_ISREG(info.st_mode)
            ? ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY)
            : -1;
    QFile opened;
    if (fd < 0 || !opened.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    // Looked at again on what was opened: the name may have been given to something else.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    Found found{true,        opened.read(kMaxBytes + 1), info.st_dev,
                info.st_ino, info.st_mode & 07777,       info.st_uid,
                info.st_gid};
    return opened.error() == QFileDevice::NoError ? std::optional<Found>(found) : std::nullopt;
}

bool DiskSettingsFiles::writeOut(QSaveFile& save, const QByteArray& bytes, const Found& old)
{
    const int fd = save.handle();
    const auto [owner, group] =
        old.exists ? std::pair<uid_t, gid_t>(old.owner, old.group)
                   : OwnerFor(QFile::encodeName(QFileInfo(save.fileName()).absolutePath()));
    // Root may write a file whose write permission its owner took away; the program does not.
    if ((old.exists && (old.mode & 0222) == 0) || ::fchown(fd, owner, group) != 0 ||
        (old.exists && ::fchmod(fd, old.mode) != 0)) {
        return false;
    }
    // On the disk before the check that the file is unchanged, which then comes just before the
    // replace.
    return save.write(bytes) == bytes.size() && save.flush() && ::fsync(fd) == 0;
}

bool DiskSettingsFiles::giveToFolderOwner(const QString& created)
{
    const QByteArray name = QFile::encodeName(created);
    const auto [owner, group] = OwnerFor(FolderOf(name));
    return owner == static_cast<uid_t>(-1) || ::lchown(name.constData(), owner, group) == 0;
}

}  // namespace quenterra
