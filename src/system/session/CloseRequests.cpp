#include "system/session/CloseRequests.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>

#include <cstring>

namespace quenterra {

// Watches the X11 events for the destruction of the window by someone else; Qt itself takes no
// notice of it, and would go on without a window. Other platforms send no such event.
class CloseRequests::WindowLoss final : public QAbstractNativeEventFilter {
public:
    WindowLoss(const QWidget* window, std::function<void()> lost)
        : window_(window), lost_(std::move(lost))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WindowLoss() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    WindowLoss(const WindowLoss&) = delete;
    WindowLoss& operator=(const WindowLoss&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override
    {
        Q_UNUSED(result);
        // An xcb DestroyNotify event: response type 17 (the top bit marks a sent event), the
        // destroyed window's id at byte 8.
        constexpr unsigned char kDestroyNotify = 17;
        if (eventType != "xcb_generic_event_t" || !window_ ||
            !window_->testAttribute(Qt::WA_WState_Created)) {
            return false;
        }
        const auto* bytes = static_cast<const unsigned char*>(message);
        quint32 destroyed = 0;
        std::memcpy(&destroyed, bytes + 8, sizeof destroyed);
        if ((bytes[0] & 0x7F) == kDestroyNotify && destroyed == quint32(window_->internalWinId())) {
            QTimer::singleShot(0, QCoreApplication::instance(), lost_);  // after Qt's own handling
        }
        return false;
    }

private:
    QPointer<const QWidget> window_;
    std::function<void()> lost_;
};

CloseRequests::CloseRequests(std::function<void(int count)> request)
    : request_(std::move(request)), signals_(watchSignals([this] { this->request(); }))
{
}

CloseRequests::~CloseRequests() = default;

void CloseRequests::watchWindow(const QWidget* window)
{
    windowLoss_ = std::make_unique<WindowLoss>(window, [this] { request(); });
}

void CloseRequests::request()
{
    request_(++count_);
}

}  // namespace quenterra
