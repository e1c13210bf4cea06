#include "system/settingsfile/DiskSettingsFiles.h"

#include <QDir>
#include <QFileInfo>

#include "system/settingsfile/ProfileFile.h"

namespace quenterra {

std::optional<QByteArray> DiskSettingsFiles::read(const QString& path) const
{
    return ProfileFile(path).read();
}

bool DiskSettingsFiles::exists(const QString& path) const
{
    return QFileInfo::exists(path);
}

bool DiskSettingsFiles::update(const QString& path, const std::function<void(IniDocument&)>& edit)
{
    const QFileInfo file(path);
    if (!file.dir().exists() && !QDir().mkpath(file.absolutePath())) {
        return false;
    }
    return ProfileFile(path).update(edit);
}

}  // namespace quenterra
