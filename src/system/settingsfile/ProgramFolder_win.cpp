#include "system/settingsfile/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// Qt's switch for reading access rights on NTFS (Qt 6.4; later versions offer
// QNtfsPermissionCheckGuard).
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;

namespace quenterra {

QString ProgramFolder(const QByteArray& executable)
{
    // Windows hands the program its path as text (UTF-8 here): every folder has a name.
    const QString path = QString::fromUtf8(executable);
    if (path.isEmpty() || QDir::isRelativePath(path)) {
        return {};
    }
    return QFileInfo(path).absolutePath();
}

QString ProgramFolder()
{
    // Whether this folder can be written decides where the settings live. On NTFS, Qt reads a
    // folder's access rights only when asked to: without them a copy under C:\Program Files,
    // which its users may not write, would pass for writable and never keep its settings.
    static const bool readsAccessRights = [] {
        ++qt_ntfs_permission_lookup;
        return true;
    }();
    Q_UNUSED(readsAccessRights);
    return QCoreApplication::applicationDirPath();
}

}  // namespace quenterra
