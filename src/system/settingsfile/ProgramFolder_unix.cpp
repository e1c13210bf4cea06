#include "system/settingsfile/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>

#include "system/HostSystem.h"

namespace quenterra {

QString ProgramFolder(const QByteArray& executable)
{
    const qsizetype slash = executable.lastIndexOf('/');
    if (!executable.startsWith('/') || executable.contains('\0')) {
        return {};
    }
    const QByteArray folder = slash == 0 ? QByteArray("/") : executable.left(slash);
    QString name = QFile::decodeName(folder);
    if (QFile::encodeName(name) == folder) {
        return name;
    }
    // No text names this folder: its open descriptor does, as long as the program runs.
    return host::FolderByDescriptor(folder);
}

QString ProgramFolder()
{
    const QByteArray executable = host::ExecutablePath();
    if (!executable.isEmpty()) {
        return ProgramFolder(executable);
    }
    return QCoreApplication::applicationDirPath();
}

}  // namespace quenterra
