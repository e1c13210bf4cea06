#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace quenterra {

// The requests to close that come from outside the window: SIGTERM, SIGINT and SIGHUP on Unix-like
// systems (the session ending, Ctrl+C in the terminal that started the program, that terminal
// closed), and the loss of the window, destroyed by another program (as `xdotool windowclose`
// does on X11). Each is handed to the event loop and passed on there, never from inside a signal
// handler. A signal that was ignored when the program started stays ignored, as nohup wants it.
// One watch at a time per process; the signals get their former handling back when it goes.
class CloseRequests {
public:
    // Calls request on the event loop for each request, with how many there have been so far
    // (1 for the first).
    explicit CloseRequests(std::function<void(int count)> request);
    ~CloseRequests();
    CloseRequests(const CloseRequests&) = delete;
    CloseRequests& operator=(const CloseRequests&) = delete;

    // Takes the loss of window for a request too.
    void watchWindow(const QWidget* window);

private:
    // The system's own watches, each stopping when its handle goes: of the signals, calling
    // signalled for each; of the window, calling lost once another program destroyed it.
    static std::shared_ptr<void> watchSignals(std::function<void()> signalled);
    static std::shared_ptr<void> watchLoss(const QWidget* window, std::function<void()> lost);

    void request();

    std::function<void(int)> request_;
    int count_ = 0;
    std::shared_ptr<void> signals_;
    std::shared_ptr<void> windowLoss_;
};

}  // namespace quenterra
