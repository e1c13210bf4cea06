#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace quenterra {

class IniDocument;

// The settings files on disk, as the settings read and write them.
class SettingsFiles {
public:
    virtual ~SettingsFiles() = default;

    // The bytes of the file at path; nullopt when it is missing or cannot be read.
    virtual std::optional<QByteArray> read(const QString& path) const = 0;

    // Whether there is a file at path.
    virtual bool exists(const QString& path) const = 0;

    // Lets edit change the file at path (an empty document when it is missing) and replaces the
    // file atomically when the bytes changed, making its folder first where that is missing; false
    // when the new content could not be put in place, the file then being left as it was.
    virtual bool update(const QString& path, const std::function<void(IniDocument&)>& edit) = 0;
};

}  // namespace quenterra
