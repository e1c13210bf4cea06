#include "system/session/CloseRequests.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include <array>

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

}  // namespace

std::shared_ptr<void> CloseRequests::watchSignals(std::function<void()> signalled)
{
    return std::make_shared<SignalWatch>(std::move(signalled));
}

bool CloseRequests::catchesSignals()
{
    return true;
}

}  // namespace quenterra
