#pragma once

#include "platform/IniDocument.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace quenterra {

// The settings file on disk. Saves replace it atomically: whenever the program stops, the file
// holds either the old content or the new, never a mix or nothing.
class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString& path() const;

    // The file's bytes; nullopt when it is missing or cannot be read.
    std::optional<QByteArray> read() const;

    // Under an exclusive lock: re-reads the file (an empty document when it is missing), lets edit
    // change it and, when the bytes changed, replaces the file atomically. Returns false when the
    // new content could not be put in place; the file is then left exactly as it was. When nothing
    // changed, returns true and writes nothing.
    //
    // On POSIX systems the new content goes first to "<name>.saving" beside the file (beside the
    // file a symbolic link points to), whose lock also keeps two copies of the program from saving
    // at the same time. A ".saving" file left by a save that was killed is reused by the next one.
    bool update(const std::function<void(IniDocument&)>& edit);

    // For tests: called after the new content is written and flushed to the temporary file, just
    // before it replaces the file; returning false abandons the save as a failure would.
    void setBeforeReplaceHook(std::function<bool()> hook);

private:
    QString path_;
    std::function<bool()> beforeReplace_;
};

}  // namespace quenterra
