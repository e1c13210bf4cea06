#include "system/session/CloseRequests.h"

#include <QGuiApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace quenterra {
namespace {

CloseRequests* gWatch = nullptr;  // the watch whose endNow is still to run
QtMessageHandler gFormerHandler = nullptr;
bool gPlatformForced = false;  // by the user, in QT_QPA_PLATFORM

QByteArray Described(const char* variable)
{
    return qEnvironmentVariableIsSet(variable)
               ? QByteArray(variable) + "=\"" + qgetenv(variable) + '"'
               : QByteArray(variable) + " not set";
}

}  // namespace

CloseRequests::CloseRequests(std::function<void(int count)> request, std::function<void()> endNow)
    : request_(std::move(request)),
      endNow_(std::move(endNow)),
      thread_(QThread::currentThread()),
      system_(watchSystem([this] { this->request(); }, processEnds))
{
    gWatch = this;
    [[maybe_unused]] static const bool exitWatched = std::atexit(processEnds) == 0;
}

CloseRequests::~CloseRequests()
{
    if (gWatch == this) {
        gWatch = nullptr;
    }
}

void CloseRequests::watchWindow(const QWidget* window)
{
    windowLoss_ = watchLoss(window, [this] { request(); });
}

void CloseRequests::watchFatalMessages()
{
    gPlatformForced = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    gFormerHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context,
                                               const QString& text) {
        // No platform came up: none of those Qt tried could open its display.
        if (type == QtFatalMsg && QGuiApplication::platformName().isEmpty() && !gPlatformForced) {
            const QByteArray line = "quenterra: no display could be opened (" +
                                    Described("DISPLAY") + ", " + Described("WAYLAND_DISPLAY") +
                                    ")\n";
            std::fputs(line.constData(), stderr);
            std::_Exit(1);
        }
        if (type == QtFatalMsg) {
            processEnds();
        }
        gFormerHandler(type, context, text);
    });
}

void CloseRequests::processEnds()
{
    if (CloseRequests* watch = gWatch; watch && watch->thread_ == QThread::currentThread()) {
        gWatch = nullptr;
        watch->endNow_();
    }
}

void CloseRequests::request()
{
    request_(++count_);
}

}  // namespace quenterra
