#include "pty/PseudoTerminal.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quenterra {
namespace {

QString systemError(const char* what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

PseudoTerminal::PseudoTerminal()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error_ = systemError("cannot open a pseudo-terminal");
        return;
    }
    const char* name = nullptr;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        (name = ::ptsname(master_)) == nullptr) {
        error_ = systemError("cannot set up the pseudo-terminal");
        return;
    }
    slavePath_ = QFile::decodeName(name);
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
}

void PseudoTerminal::closeMaster()
{
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

int PseudoTerminal::releaseMaster()
{
    return std::exchange(master_, -1);
}

}  // namespace quenterra
