#include "system/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

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
#ifdef O_PATH
    // No text names this folder: its open descriptor does, as long as the program runs.
    const int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        return QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
#endif
    return {};
}

QString ProgramFolder()
{
#ifdef Q_OS_LINUX
    // The system's own bytes: Qt's answer is empty for a folder whose name is no valid text.
    QByteArray executable(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
    if (length > 0 && length < executable.size()) {
        executable.truncate(length);
        return ProgramFolder(executable);
    }
#endif
    return QCoreApplication::applicationDirPath();
}

}  // namespace quenterra
