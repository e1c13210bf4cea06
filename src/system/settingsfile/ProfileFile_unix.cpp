#include "system/settingsfile/ProfileFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace quenterra {

namespace {

using Edit = std::function<void(IniDocument&)>;
using Hook = std::function<bool()>;

// Repeats a system call for as long as a signal interrupts it.
template <typename Call>
auto retryOnInterrupt(Call call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

// A file descriptor, closed when it goes out of scope.
class Descriptor {
public:
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return ".";
    }
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

#ifdef O_PATH
constexpr int kFolderAccess = O_PATH;  // needs no permission to list the folder
#else
constexpr int kFolderAccess = O_RDONLY;
#endif

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// Whether a symbolic link may be followed: only where no one else could have put it there. That is
// a folder that only its owner, the user or root, can write; or a link of the user's own in the
// user's own folder, or in a sticky one, where others can neither remove nor rename it.
bool mayFollow(const struct stat& folder, const struct stat& link)
{
    const uid_t user = ::geteuid();
    const bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
                                (folder.st_uid != user && folder.st_uid != 0);
    const bool ours =
        link.st_uid == user && (folder.st_uid == user || (folder.st_mode & S_ISVTX) != 0);
    return !othersMayWrite || ours;
}

// What the symbolic link name in the folder open as folderFd points to. Nullopt when it is no link
// (or is gone), and an empty text when it is one that must not be followed or cannot be read.
std::optional<QByteArray> linkTarget(int folderFd, const QByteArray& name)
{
    struct stat folder;
    struct stat link;
    if (::fstat(folderFd, &folder) != 0) {
        return std::nullopt;
    }
#ifdef O_PATH
    // The link itself, opened once: its owner and its target are read from the same link even if
    // the name is given to another one meanwhile.
    Descriptor self;
    self.reset(retryOnInterrupt(
        [&] { return ::openat(folderFd, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC); }));
    if (self.get() < 0 || ::fstat(self.get(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return std::nullopt;
    }
    const int linkFd = self.get();
    const char* const linkName = "";
#else
    if (::fstatat(folderFd, name.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(link.st_mode)) {
        return std::nullopt;
    }
    const int linkFd = folderFd;
    const char* const linkName = name.constData();
#endif
    if (!mayFollow(folder, link)) {
        return QByteArray();
    }
    QByteArray target(qMax<qsizetype>(link.st_size, 4095) + 1, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(linkFd, linkName, target.data(), target.size());
    if (length <= 0 || length >= target.size()) {
        return QByteArray();
    }
    target.truncate(length);
    return target;
}

// The file that path names, following symbolic links that may be followed (see mayFollow()), also
// when the last one points to a file that does not exist yet; nullopt for a link that must not be
// followed, an unreadable link or a loop of links.
std::optional<QByteArray> followLinks(QByteArray path)
{
    for (int depth = 0; depth < 40; ++depth) {
        Descriptor folder;
        folder.reset(retryOnInterrupt([&] {
            return ::open(folderOf(path).constData(), kFolderAccess | O_DIRECTORY | O_CLOEXEC);
        }));
        if (folder.get() < 0) {
            return path;  // nothing to follow; opening the file itself will fail
        }
        const std::optional<QByteArray> target = linkTarget(folder.get(), nameOf(path));
        if (!target) {
            return path;
        }
        if (target->isEmpty()) {
            return std::nullopt;
        }
        path = target->startsWith('/') ? *target : folderOf(path) + '/' + *target;
    }
    return std::nullopt;
}

// A settings file as it was found.
struct Found {
    bool exists = false;
    QByteArray bytes;  // empty when the file is missing
    mode_t mode = 0;   // its permissions
};

// The file at path, whose last part is no symbolic link: nullopt when it cannot be read, is not a
// regular file (a folder, a pipe, a device), is larger than any settings file or holds no text
// that can be read as one (UTF-16, say). Opens nothing but a regular file, and never waits.
std::optional<Found> readFile(const QByteArray& path)
{
    struct stat info;
    if (::lstat(path.constData(), &info) != 0) {
        return errno == ENOENT ? std::optional<Found>(Found()) : std::nullopt;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > ProfileFile::kMaxBytes) {
        return std::nullopt;
    }
    Descriptor file;
    file.reset(retryOnInterrupt([&] {
        return ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    }));
    // Checked again on what was opened: the name may have been given to something else meanwhile.
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    Found found{true, {}, static_cast<mode_t>(info.st_mode & 07777)};
    char buffer[65536];
    for (;;) {
        const ssize_t count =
            retryOnInterrupt([&] { return ::read(file.get(), buffer, sizeof buffer); });
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            return AsciiCompatible(found.bytes) ? std::optional<Found>(found) : std::nullopt;
        }
        found.bytes.append(buffer, count);
        if (found.bytes.size() > ProfileFile::kMaxBytes) {
            return std::nullopt;  // it grew while being read
        }
    }
}

// Whether the file may be replaced: the user has not taken its write permission away.
bool writable(const QByteArray& path, const Found& found)
{
    return !found.exists ||
           ((found.mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.constData(), W_OK, 0) == 0);
}

bool writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t count = retryOnInterrupt(
            [&] { return ::write(fd, bytes.data(), static_cast<size_t>(bytes.size())); });
        if (count <= 0) {
            return false;
        }
        bytes = bytes.sliced(count);
    }
    return true;
}

bool sameFile(int fd, const QByteArray& path)
{
    struct stat opened;
    struct stat named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Whether the thing at path could be a temporary file of one of our saves: a regular file of the
// user's own that has no other name.
bool mayBeOurs(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// How long a save waits for another one that holds the temporary file.
constexpr std::chrono::milliseconds kLockWait{2000};
constexpr std::chrono::milliseconds kLockPoll{5};

// Creates the temporary file afresh, as the user's own new file, and takes its lock. A temporary
// file that is there already belongs to another save under way, whose lock this one waits for (a
// while, not forever), or was left by a save that was killed, or is none of ours (a link, a pipe,
// a file with another name too, another user's file): it is removed, never written to.
bool lockTemporary(const QByteArray& temporary, Descriptor& file)
{
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    const auto remove = [&] { return ::unlink(temporary.constData()) == 0 || errno == ENOENT; };
    while (std::chrono::steady_clock::now() < deadline) {
        file.reset(retryOnInterrupt([&] {
            return ::open(temporary.constData(),
                          O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        }));
        if (file.get() >= 0) {
            // Another save may have taken the new file for a killed save's before this one locked
            // it; then the open starts over. A file system without locks still gets atomic saves,
            // only not serialised ones.
            const int locked =
                retryOnInterrupt([&] { return ::flock(file.get(), LOCK_EX | LOCK_NB); });
            if ((locked == 0 || errno != EWOULDBLOCK) && sameFile(file.get(), temporary)) {
                return true;
            }
            file.reset();
            continue;
        }
        if (errno != EEXIST) {
            return false;
        }
        struct stat info;
        if (::lstat(temporary.constData(), &info) != 0) {
            continue;  // gone meanwhile
        }
        if (!mayBeOurs(info)) {
            if (!remove()) {
                return false;
            }
            continue;
        }
        Descriptor other;
        for (const int access : {O_RDONLY, O_WRONLY}) {  // a killed save may have left either
            if (other.get() < 0) {
                other.reset(retryOnInterrupt([&] {
                    return ::open(temporary.constData(),
                                  access | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
                }));
            }
        }
        if (other.get() < 0) {
            if (errno != ENOENT && !remove()) {
                return false;
            }
            continue;
        }
        if (::fstat(other.get(), &info) != 0 || !mayBeOurs(info)) {
            continue;  // given to something else meanwhile: looked at again
        }
        if (retryOnInterrupt([&] { return ::flock(other.get(), LOCK_EX | LOCK_NB); }) != 0 &&
            errno == EWOULDBLOCK) {
            std::this_thread::sleep_for(kLockPoll);  // another save is under way
            continue;
        }
        // No save holds it: a killed save's, removed under its lock unless it was renamed away.
        if (sameFile(other.get(), temporary) && !remove()) {
            return false;
        }
    }
    return false;
}

void syncFolder(const QByteArray& folder)
{
    const int fd = retryOnInterrupt(
        [&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray encodedPath(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    return encoded.contains('\0') ? QByteArray() : encoded;
}

std::optional<QByteArray> readThroughLinks(const QString& path)
{
    const QByteArray encoded = encodedPath(path);
    if (encoded.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<QByteArray> target = followLinks(encoded);
    const std::optional<Found> found = target ? readFile(*target) : std::nullopt;
    if (!found || !found->exists) {
        return std::nullopt;
    }
    return found->bytes;
}

bool saveAtomically(const QString& path, const Edit& edit, const Hook& hook)
{
    const QByteArray encoded = encodedPath(path);
    if (encoded.isEmpty()) {
        return false;
    }
    const std::optional<QByteArray> target = followLinks(encoded);
    if (!target) {
        return false;
    }
    // Nothing is created beside what will not be replaced anyway, such as a device.
    if (!readFile(*target)) {
        return false;
    }
    const QByteArray temporary = *target + ".saving";
    Descriptor file;
    if (!lockTemporary(temporary, file)) {
        return false;
    }
    // The temporary file is this save's until the lock goes with `file`.
    const auto abandon = [&] {
        ::unlink(temporary.constData());
        return false;
    };

    const std::optional<Found> old = readFile(*target);
    if (!old) {
        return abandon();  // never replace what cannot be read
    }
    IniDocument document(old->bytes);
    edit(document);
    if (document.bytes() == old->bytes) {
        ::unlink(temporary.constData());
        return true;
    }
    if (document.bytes().size() > ProfileFile::kMaxBytes) {
        return abandon();  // the next start could not read it
    }
    if (!writable(*target, *old) || (old->exists && ::fchmod(file.get(), old->mode & 0777) != 0)) {
        return abandon();
    }
    if (!writeAll(file.get(), document.bytes()) ||
        retryOnInterrupt([&] { return ::fsync(file.get()); }) != 0) {
        return abandon();
    }
    if (hook && !hook()) {
        return abandon();
    }
    if (::rename(temporary.constData(), target->constData()) != 0) {
        return abandon();
    }
    syncFolder(folderOf(*target));
    return true;
}

}  // namespace

std::optional<QByteArray> ProfileFile::read() const
{
    return readThroughLinks(path_);
}

bool ProfileFile::update(const std::function<void(IniDocument&)>& edit)
{
    return saveAtomically(path_, edit, beforeReplace_);
}

}  // namespace quenterra
