#include "system/session/CloseRequests.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include <algorithm>
#include <array>

#if __has_include(<xcb/xproto.h>)
#include <xcb/xproto.h>
#endif

namespace quenterra {
namespace {

// The requests to close, then the other signals whose default is to end the process and that come
// from outside it. Left out: the program's own faults (SIGSEGV, SIGABRT...), after which none of
// its code can run safely (a fatal message is seen before its SIGABRT), and SIGXFSZ, raised by a
// write of the save's own past the limit on a file's size, which the save sees fail.
constexpr std::array kSignals{SIGTERM, SIGINT,  SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2,
                              SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};
constexpr size_t kRequestSignals = 3;

// The pipe's end the handler writes to: one byte per signal, its number. All the handler does.
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
    SignalWatch(std::function<void()> requested, std::function<void()> ending)
        : requested_(std::move(requested)), ending_(std::move(ending))
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
    // Every request noted so far is passed on; a signal that ends the process ends it, as it
    // would have, once ending has run.
    void drain()
    {
        unsigned char bytes[16];
        ssize_t count = 0;
        while ((count = ::read(pipe_[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                const int signal = bytes[i];
                if (std::count(kSignals.begin(), kSignals.begin() + kRequestSignals, signal) > 0) {
                    requested_();
                    continue;
                }
                ending_();
                ::signal(signal, SIG_DFL);
                ::raise(signal);
            }
        }
    }

    std::function<void()> requested_;
    std::function<void()> ending_;
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

std::shared_ptr<void> CloseRequests::watchSystem(std::function<void()> requested,
                                                 std::function<void()> ending)
{
    return std::make_shared<SignalWatch>(std::move(requested), std::move(ending));
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
