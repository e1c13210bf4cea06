#include "system/settingsfile/DiskSettingsFiles.h"

#include <QFile>
#include <QSaveFile>

namespace quenterra {

DiskSettingsFiles::DiskSettingsFiles() = default;

std::optional<QString> DiskSettingsFiles::followLinks(const QString& path)
{
    return path;  // QSaveFile follows them
}

std::optional<DiskSettingsFiles::Found> DiskSettingsFiles::find(const QString& file)
{
    QFile opened(file);
    if (!opened.exists()) {
        return Found();
    }
    if (!opened.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    Found found;
    found.exists = true;
    found.bytes = opened.read(kMaxBytes + 1);
    return opened.error() == QFileDevice::NoError ? std::optional<Found>(found) : std::nullopt;
}

bool DiskSettingsFiles::writeOut(QSaveFile& save, const QByteArray& bytes, const Found&)
{
    // QSaveFile gives the new file the old one's permissions.
    return save.write(bytes) == bytes.size() && save.flush();
}

bool DiskSettingsFiles::giveToFolderOwner(const QString&)
{
    return true;
}

}  // namespace quenterra
