#pragma once

#include "platform/SettingsFiles.h"

class QSaveFile;

namespace quenterra {

// The settings files on disk. A save replaces the file atomically (QSaveFile): whenever the program
// stops, the file holds either the old content or the new, never a mix or nothing. Two copies of
// the program take turns to save (QLockFile: "<name>.lock" beside the file, while a save runs).
//
// Only a regular file of at most kMaxBytes, in an encoding that keeps ASCII as it is, is read, and
// reading never waits: anything else (a pipe, a device, UTF-16 text) counts as unreadable and is
// never replaced, nor is a file without write permission. A save never makes the file larger than
// kMaxBytes. The new file keeps the owner, group and mode of the file it replaces, or is not put
// in place; what root creates in another user's folder (the file, a folder, the lock) is given to
// the folder's owner.
//
// A symbolic link is followed only where no one else could have made it: in a folder that others
// cannot write, or when the link is the user's own and others cannot replace it (the folder is the
// user's own or sticky). Any other link counts as a file that cannot be read.
class DiskSettingsFiles final : public SettingsFiles {
public:
    // No settings file is larger; a larger one cannot be read.
    static constexpr qint64 kMaxBytes = qint64(1) << 20;

    // On POSIX systems, makes a write past the file size limit (ulimit -f) fail, and the save with
    // it, rather than end the program: SIGXFSZ is ignored from then on.
    DiskSettingsFiles();

    std::optional<QByteArray> read(const QString& path) const override;
    bool exists(const QString& path) const override;
    bool update(const QString& path, const Edit& edit) override;

private:
    // A file as it was found; what the system does not tell stays 0.
    struct Found {
        bool exists = false;
        QByteArray bytes;  // empty when the file is missing
        quint64 device = 0;
        quint64 inode = 0;
        uint mode = 0;  // the permissions
        uint owner = 0;
        uint group = 0;
        bool operator==(const Found&) const = default;
    };

    static std::optional<Found> readable(const QString& file);
    static bool makeFolder(const QString& folder);

    // Per system. The file that path names, the links in its way followed where they may be;
    // nullopt when one may not.
    static std::optional<QString> followLinks(const QString& path);
    // The file, whose name is no link, with at most kMaxBytes + 1 of its bytes; nullopt when it
    // is no regular file or cannot be read.
    static std::optional<Found> find(const QString& file);
    // Writes bytes to the disk as the new file that replaces old, with old's owner, group and mode.
    static bool writeOut(QSaveFile& save, const QByteArray& bytes, const Found& old);
    // Gives what the save created to the owner of the folder it is in, where root created it.
    static bool giveToFolderOwner(const QString& created);
};

}  // namespace quenterra
