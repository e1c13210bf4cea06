#include "platform/ProfileFile.h"

#include <QFile>
#include <QSaveFile>

#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quenterra {

namespace {

using Edit = std::function<void(IniDocument&)>;
using Hook = std::function<bool()>;

// The portable save through QSaveFile (which also writes through symbolic links). Used where the
// POSIX one is not available; compiled everywhere so that it keeps building.
[[maybe_unused]] bool saveWithSaveFile(const QString& path, const Edit& edit, const Hook& hook)
{
    QByteArray old;
    QFile current(path);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly)) {
            return false;
        }
        old = current.readAll();
        if (current.error() != QFileDevice::NoError) {
            return false;
        }
        current.close();
    }
    IniDocument document(old);
    edit(document);
    if (document.bytes() == old) {
        return true;
    }
    QSaveFile save(path);
    save.setDirectWriteFallback(false);
    if (!save.open(QIODevice::WriteOnly) ||
        save.write(document.bytes()) != document.bytes().size() || !save.flush() ||
        (hook && !hook())) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

#ifdef Q_OS_UNIX

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

// The file that path names, following symbolic links, also when the last one points to a file
// that does not exist yet; nullopt for an unreadable link or a loop of links.
std::optional<QByteArray> followLinks(QByteArray path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info;
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        QByteArray target(qMax<qsizetype>(info.st_size, 4095) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
        if (length <= 0 || length >= target.size()) {
            return std::nullopt;
        }
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    return std::nullopt;
}

// The bytes of the file at path: empty when it is missing, nullopt when it cannot be read or is
// not a regular file.
std::optional<QByteArray> readFile(const QByteArray& path)
{
    const int fd = retryOnInterrupt(
        [&] { return ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
    if (fd < 0) {
        return errno == ENOENT ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    }
    Descriptor file;
    file.reset(fd);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;  // never replace a folder, a pipe or a device
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = retryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            return bytes;
        }
        bytes.append(buffer, count);
    }
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

// Opens the temporary file and takes its lock. Another save may have renamed the file away while
// this one waited for the lock; then the lock guards nothing and the open starts over.
bool lockTemporary(const QByteArray& temporary, Descriptor& file)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = retryOnInterrupt([&] {
            return ::open(temporary.constData(), O_CREAT | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
        });
        if (fd < 0) {
            // A symbolic link in the temporary file's place is none of ours: following it would
            // write elsewhere and then move the link over the settings file.
            if (errno == ELOOP && ::unlink(temporary.constData()) == 0) {
                continue;
            }
            return false;
        }
        file.reset(fd);
        // A file system without locks still gets atomic saves, only not serialised ones.
        retryOnInterrupt([&] { return ::flock(fd, LOCK_EX); });
        struct stat opened;
        struct stat named;
        if (::fstat(fd, &opened) == 0 && ::lstat(temporary.constData(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            return true;
        }
        file.reset();
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

bool saveAtomically(const QString& path, const Edit& edit, const Hook& hook)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.contains('\0')) {
        return false;
    }
    const std::optional<QByteArray> target = followLinks(encoded);
    if (!target) {
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

    const std::optional<QByteArray> old = readFile(*target);
    if (!old) {
        return abandon();
    }
    IniDocument document(*old);
    edit(document);
    if (document.bytes() == *old) {
        ::unlink(temporary.constData());
        return true;
    }
    struct stat info;
    if (::stat(target->constData(), &info) == 0 &&
        ::fchmod(file.get(), info.st_mode & 07777) != 0) {
        return abandon();
    }
    if (retryOnInterrupt([&] { return ::ftruncate(file.get(), 0); }) != 0 ||
        !writeAll(file.get(), document.bytes()) ||
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

#endif

}  // namespace

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

const QString& ProfileFile::path() const
{
    return path_;
}

std::optional<QByteArray> ProfileFile::read() const
{
    QFile file(path_);
    if (path_.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

bool ProfileFile::update(const std::function<void(IniDocument&)>& edit)
{
#ifdef Q_OS_UNIX
    return saveAtomically(path_, edit, beforeReplace_);
#else
    return !path_.isEmpty() && saveWithSaveFile(path_, edit, beforeReplace_);
#endif
}

void ProfileFile::setBeforeReplaceHook(std::function<bool()> hook)
{
    beforeReplace_ = std::move(hook);
}

}  // namespace quenterra
