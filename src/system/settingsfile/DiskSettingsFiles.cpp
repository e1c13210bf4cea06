#include "system/settingsfile/DiskSettingsFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <chrono>

#include "settings/IniDocument.h"

namespace quenterra {

namespace {

// How long a save waits for another copy's save to end before it fails.
constexpr std::chrono::milliseconds kLockWait{5000};

// How often a save starts over when another program keeps changing the file while it writes.
constexpr int kMergeRounds = 4;

}  // namespace

std::optional<QByteArray> DiskSettingsFiles::read(const QString& path) const
{
    const std::optional<QString> file = path.isEmpty() ? std::nullopt : followLinks(path);
    const std::optional<Found> found = file ? readable(*file) : std::nullopt;
    return found && found->exists ? std::optional<QByteArray>(found->bytes) : std::nullopt;
}

bool DiskSettingsFiles::exists(const QString& path) const
{
    return QFileInfo::exists(path);
}

bool DiskSettingsFiles::update(const QString& path, const Edit& edit)
{
    const std::optional<QString> file = path.isEmpty() ? std::nullopt : followLinks(path);
    if (!file || !makeFolder(QFileInfo(*file).absolutePath())) {
        return false;
    }
    QLockFile lock(*file + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWait) || !giveToFolderOwner(lock.fileName())) {
        return false;
    }
    for (int round = 0; round < kMergeRounds; ++round) {
        const std::optional<Found> old = readable(*file);
        if (!old) {
            return false;  // never replace what cannot be read
        }
        const QByteArray bytes = edit(old->bytes);
        if (bytes == old->bytes) {
            return true;
        }
        if (bytes.size() > kMaxBytes) {
            return false;  // the next start could not read it
        }
        QSaveFile save(*file);
        save.setDirectWriteFallback(false);
        if (!save.open(QIODevice::WriteOnly) || !writeOut(save, bytes, *old)) {
            return false;
        }
        // Another program's edit made while this save wrote is merged in a new round: only a
        // change within the commit itself can be lost.
        if (readable(*file) == old) {
            return save.commit();
        }
    }
    return false;
}

std::optional<DiskSettingsFiles::Found> DiskSettingsFiles::readable(const QString& file)
{
    std::optional<Found> found = find(file);
    if (found && (found->bytes.size() > kMaxBytes || !AsciiCompatible(found->bytes))) {
        return std::nullopt;
    }
    return found;
}

bool DiskSettingsFiles::makeFolder(const QString& folder)
{
    const QString parent = QFileInfo(folder).path();
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    return parent != folder && makeFolder(parent) && QDir().mkdir(folder) &&
           giveToFolderOwner(folder);
}

}  // namespace quenterra
