#include "system/session/CloseRequests.h"

namespace quenterra {

// Windows sends a windowed program no signals: Ctrl+C reaches console programs only, and
// `taskkill` without /F asks the window to close, as its close box does.
std::shared_ptr<void> CloseRequests::watchSignals(std::function<void()> signalled)
{
    Q_UNUSED(signalled);
    return {};
}

std::shared_ptr<void> CloseRequests::watchLoss(const QWidget*, std::function<void()>)
{
    return {};  // Windows destroys no program's window behind its back
}

}  // namespace quenterra
