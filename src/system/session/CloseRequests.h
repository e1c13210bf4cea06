#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QThread;

namespace quenterra {

// The requests to close that come from outside the window: SIGTERM, SIGINT and SIGHUP on Unix-like
// systems (the session ending, Ctrl+C in the terminal that started the program, that terminal
// closed), the end of the session on Windows, and the loss of the window, destroyed by another
// program (as `xdotool windowclose` does on X11). Each is handed to the event loop and passed on
// there, never from inside a signal handler. A signal that was ignored when the program started
// stays ignored, as nohup wants it.
//
// And the ends that leave no time for a close: exit() called inside a library (Qt's, when the X11
// connection breaks), a fatal message, the other signals that end a process by default (SIGQUIT,
// SIGUSR1, SIGPIPE...), and on Windows the end of the session, after which Windows ends the
// process. endNow runs once before the process goes, on the thread that made the watch (an end on
// another thread leaves it out); the signal then ends the process as it would have. Nothing can
// run after the program's own crashes, SIGKILL, or an _exit() inside a library (Qt 6.4's Wayland
// plugin, when the compositor goes away).
//
// One watch at a time per process; the signals get their former handling back when it goes.
class CloseRequests {
public:
    // Calls request on the event loop for each request, with how many there have been so far
    // (1 for the first), and endNow when the process ends now (nothing, left out).
    explicit CloseRequests(
        std::function<void(int count)> request, std::function<void()> endNow = [] {});
    ~CloseRequests();
    CloseRequests(const CloseRequests&) = delete;
    CloseRequests& operator=(const CloseRequests&) = delete;

    // Takes the loss of window for a request too.
    void watchWindow(const QWidget* window);

    // Watches Qt's fatal messages from now on, for the process's whole run: the watch's endNow
    // runs before Qt aborts. Where no platform could be opened (no display) and none was chosen
    // with QT_QPA_PLATFORM, one line names DISPLAY and WAYLAND_DISPLAY with their values instead
    // of Qt's advice to reinstall, and the program ends with status 1. Called before the
    // application object is made.
    static void watchFatalMessages();

private:
    // The system's own watches, each stopping when its handle goes. Of the signals and the
    // session: requested for each request to close, ending when the process ends now (after a
    // signal, which then ends it). Of the window: lost once another program destroyed it.
    static std::shared_ptr<void> watchSystem(std::function<void()> requested,
                                             std::function<void()> ending);
    static std::shared_ptr<void> watchLoss(const QWidget* window, std::function<void()> lost);

    // The process ends now: the watch's endNow, once, where it may run.
    static void processEnds();

    void request();

    std::function<void(int)> request_;
    std::function<void()> endNow_;
    QThread* thread_;
    int count_ = 0;
    std::shared_ptr<void> system_;
    std::shared_ptr<void> windowLoss_;
};

}  // namespace quenterra
