#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace quenterra {

// The settings files on disk, as the settings read and write them.
class SettingsFiles {
public:
    // What a save makes of the file's current bytes (empty when it is missing).
    using Edit = std::function<QByteArray(const QByteArray& current)>;

    virtual ~SettingsFiles() = default;

    // The bytes of the file at path; nullopt when it is missing or cannot be read.
    virtual std::optional<QByteArray> read(const QString& path) const = 0;

    // Whether there is a file at path.
    virtual bool exists(const QString& path) const = 0;

    // Replaces the file at path atomically with what edit makes of its bytes, making its folder
    // first where that is missing; writes nothing when the bytes stay the same. Edit runs again,
    // on the new bytes, when the file changed while the save was writing. False when the new
    // content could not be put in place, the file then being left as it was.
    virtual bool update(const QString& path, const Edit& edit) = 0;
};

}  // namespace quenterra
