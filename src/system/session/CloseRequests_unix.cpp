#include "system/session/CloseRequests.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include <array>

#if __has_include(<xcb/xproto.h>)
#include <xcb/xproto.h>
#endif

namespace quenterra {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's end the handler writes to: one byte per signal. All the handler does.
int gSignalPipe = -1;

void NoteSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe, &byte, 1);
    errno = saved;
}

class SignalWatch {
public:
    explicit SignalWatch(std::function<void()> signalled) : signalled_(std::move(signalled))
    {
        if (gSignalPipe >= 0 || ::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            return;  // another watch has the signals, or there is no pipe: they keep their action
        }
        gSignalPipe = pipe_[1];
        notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
        for (size_t i = 0; i < kSignals.size(); ++i) {
            struct sigaction action {};
            action.sa_handler = NoteSignal;
            action.sa_flags = SA_RESTART;
            ::sigemptyset(&action.sa_mask);
            if (::sigaction(kSignals[i], nullptr, &former_[i]) == 0 &&
                former_[i].sa_handler != SIG_IGN) {
                installed_[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
            }
        }
    }

    ~SignalWatch()
    {
        for (size_t i = 0; i < kSignals.size(); ++i) {
            if (installed_[i]) {
                ::sigaction(kSignals[i], &former_[i], nullptr);
            }
        }
        notifier_.reset();
        if (pipe_[1] >= 0 && gSignalPipe == pipe_[1]) {
            gSignalPipe = -1;
        }
        for (const int fd : pipe_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

private:
    // Every signal noted so far is one request.
    void drain()
    {
        char bytes[16];
        ssize_t count = 0;
        while ((count = ::read(pipe_[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                signalled_();
            }
        }
    }

    std::function<void()> signalled_;
    std::array<int, 2> pipe_{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, kSignals.size()> former_{};
    std::array<bool, kSignals.size()> installed_{};
};

#if __has_include(<xcb/xproto.h>)
// Watches the X11 events for the destruction of the window by someone else; Qt itself takes no
// notice of it, and would go on without a window. Other platforms send no such event.
class WindowLoss final : public QAbstractNativeEventFilter {
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
        if (eventType != "xcb_generic_event_t" || !window_ ||
            !window_->testAttribute(Qt::WA_WState_Created)) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The top bit of the type marks an event another client sent.
        if ((event->response_type & ~0x80) == XCB_DESTROY_NOTIFY &&
            static_cast<const xcb_destroy_notify_event_t*>(message)->window ==
                window_->internalWinId()) {
            QTimer::singleShot(0, QCoreApplication::instance(), lost_);  // after Qt's own handling
        }
        return false;
    }

private:
    QPointer<const QWidget> window_;
    std::function<void()> lost_;
};
#endif

}  // namespace

std::shared_ptr<void> CloseRequests::watchSignals(std::function<void()> signalled)
{
    return std::make_shared<SignalWatch>(std::move(signalled));
}

std::shared_ptr<void> CloseRequests::watchLoss([[maybe_unused]] const QWidget* window,
                                               [[maybe_unused]] std::function<void()> lost)
{
#if __has_include(<xcb/xproto.h>)
    return std::make_shared<WindowLoss>(window, std::move(lost));
#else
    return {};  // no X11 here
#endif
}

}  // namespace quenterra
