#include "system/session/CloseRequests.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace quenterra {

// Windows sends a windowed program no signals: Ctrl+C reaches console programs only, and
// `taskkill` without /F asks the window to close, as its close box does. The end of the session
// asks too (Qt tells WM_QUERYENDSESSION as commitDataRequest); Windows then ends the process once
// WM_ENDSESSION is answered, which Qt tells as aboutToQuit before it answers: the end, now.
std::shared_ptr<void> CloseRequests::watchSystem(std::function<void()> requested,
                                                 std::function<void()> ending)
{
    auto watch = std::make_shared<QObject>();
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, watch.get(), requested);
    QObject::connect(qApp, &QGuiApplication::aboutToQuit, watch.get(), ending);
    return watch;
}

std::shared_ptr<void> CloseRequests::watchLoss(const QWidget*, std::function<void()>)
{
    return {};  // Windows destroys no program's window behind its back
}

}  // namespace quenterra
