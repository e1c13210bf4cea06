#include "system/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
    return QCoreApplication::applicationDirPath();
}

}  // namespace quenterra
