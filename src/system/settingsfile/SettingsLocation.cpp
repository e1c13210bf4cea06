#include "system/settingsfile/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

namespace quenterra {

SettingsLocation LocateSettings(const QString& programFolder, const QString& userFolder)
{
    const QString userCopy =
        QDir::isAbsolutePath(userFolder) ? QDir(userFolder).filePath(kSettingsFileName) : QString();
    if (programFolder.isEmpty() || QDir::isRelativePath(programFolder)) {
        return {userCopy, userCopy};
    }
    const QString besideProgram = QDir(programFolder).filePath(kSettingsFileName);
    const QFileInfo folder(programFolder);
    // A program installed under /usr never writes its own folder, not even when root runs it. The
    // folder's real name counts, also when it is reached through a link.
    const QString real = folder.canonicalFilePath();
    const bool installed = (real.isEmpty() ? QDir::cleanPath(folder.absoluteFilePath()) : real)
                               .startsWith(QStringLiteral("/usr/"));
    if (!installed && folder.isDir() && folder.isWritable()) {
        return {besideProgram, besideProgram};
    }
    return {QFileInfo::exists(userCopy) ? userCopy : besideProgram, userCopy};
}

}  // namespace quenterra
