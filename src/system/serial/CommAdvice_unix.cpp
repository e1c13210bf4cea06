#include "system/serial/CommAdvice.h"

#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace quenterra {

QString DeviceAccessAdvice(const QString& devicePath)
{
    struct stat status {};
    if (::stat(QFile::encodeName(devicePath).constData(), &status) == 0 && status.st_gid != 0) {
        const long suggested = ::sysconf(_SC_GETGR_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
        group entry{};
        group* found = nullptr;
        if (::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr) {
            return JoinGroupAdvice(QString::fromLocal8Bit(found->gr_name));
        }
    }
    return AskForAccessAdvice();
}

}  // namespace quenterra
