#pragma once

#include "settings/IniDocument.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace quenterra {

// The settings file on disk. Saves replace it atomically: whenever the program stops, the file
// holds either the old content or the new, never a mix or nothing.
class ProfileFile {
public:
    // No settings file is larger; a larger one cannot be read.
    static constexpr qint64 kMaxBytes = qint64(1) << 20;

    explicit ProfileFile(QString path);

    // The file's bytes; nullopt when it is missing or cannot be read. Only a regular file of at
    // most kMaxBytes is read, and reading never waits: a pipe or a device counts as unreadable, and
    // so does a file in an encoding that does not keep ASCII as it is (UTF-16, UTF-32).
    std::optional<QByteArray> read() const;

    // Under an exclusive lock: re-reads the file (an empty document when it is missing), lets edit
    // change it and, when the bytes changed, replaces the file atomically. Returns false when the
    // new content could not be put in place; the file is then left exactly as it was. That is also
    // so when the file cannot be read (see read()), has no write permission left, or would grow
    // past kMaxBytes. When nothing changed, returns true and writes nothing.
    //
    // A symbolic link is followed only where no one else could have made it: in a folder that
    // others cannot write, or when the link is the user's own and others cannot replace it (the
    // folder is the user's own or sticky). Any other link counts as a file that cannot be read.
    //
    // On POSIX systems the new content goes first to "<name>.saving" beside the file (beside the
    // file a link points to), created afresh as the user's own new file. Its lock also keeps two
    // copies of the program from saving at the same time: a save waits a little while for another
    // one, and fails if that one does not end. Whatever else holds that name (a file left by a save
    // that was killed, a link, a pipe, another user's file) is removed first, never written to.
    bool update(const std::function<void(IniDocument&)>& edit);

    // For tests: called after the new content is written and flushed to the temporary file, just
    // before it replaces the file; returning false abandons the save as a failure would.
    void setBeforeReplaceHook(std::function<bool()> hook);

private:
    QString path_;
    std::function<bool()> beforeReplace_;
};

}  // namespace quenterra
