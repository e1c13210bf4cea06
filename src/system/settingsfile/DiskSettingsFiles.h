#pragma once

#include "platform/SettingsFiles.h"

namespace quenterra {

// The settings files on disk, read and saved as ProfileFile reads and saves them.
class DiskSettingsFiles final : public SettingsFiles {
public:
    std::optional<QByteArray> read(const QString& path) const override;
    bool exists(const QString& path) const override;
    bool update(const QString& path, const std::function<void(IniDocument&)>& edit) override;
};

}  // namespace quenterra
