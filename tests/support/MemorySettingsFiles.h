#pragma once

// The settings files in memory, for tests of the settings that need no disk.

#include <QByteArray>
#include <QMap>
#include <QString>

#include "platform/SettingsFiles.h"

namespace quenterra::test {

// Each file is its bytes under its path; an update writes only when the bytes change, as on disk.
class MemorySettingsFiles final : public SettingsFiles {
public:
    std::optional<QByteArray> read(const QString& path) const override
    {
        const auto found = files.constFind(path);
        return found == files.constEnd() ? std::nullopt : std::optional<QByteArray>(*found);
    }
    bool exists(const QString& path) const override { return files.contains(path); }
    bool update(const QString& path, const Edit& edit) override
    {
        const QByteArray bytes = edit(files.value(path));
        if (bytes != files.value(path)) {
            files.insert(path, bytes);
        }
        return true;
    }

    // The file's bytes, or "<missing>" when there is none.
    QByteArray bytes(const QString& path) const { return files.value(path, "<missing>"); }

    QMap<QString, QByteArray> files;
};

}  // namespace quenterra::test
