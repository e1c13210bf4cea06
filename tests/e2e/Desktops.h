#pragma once

// The desktops the end-to-end test runs the program on, reached as a user reaches them: an X11
// display with a window manager (openbox), driven with xdotool and read with xprop; and a Wayland
// compositor (sway, headless), driven with wtype and read through swaymsg.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace quenterra::test {

// Generous bounds for a slow machine; none of them decides a result.
constexpr int kWaitMs = 20000;

// A process and everything it has written so far, killed if the test ends early.
struct Child {
    QProcess process;
    QByteArray output;

    explicit Child(const QString& program, const QStringList& arguments = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The first capture of the first line matching pattern, once it has been written.
    std::optional<QString> waitForLine(const QString& pattern);
};

// A program's output; nullopt when it fails or does not finish in time.
std::optional<QByteArray> Run(
    const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// One window as the desktop shows it.
struct ShownWindow {
    QString id;
    QString title;
    QString appId;       // X11: the class of WM_CLASS; Wayland: the app_id
    bool native = true;  // Wayland: a client of the compositor's own (xdg_shell), not XWayland
    bool maximisable = false;
    bool active = false;  // it has the keyboard
};

// Keys pressed one after another ("Tab", "ctrl+a", "space", "KP_Enter": X keysym names, a "+"
// between a modifier and its key), then text typed.
struct Keys {
    QStringList keys;
    QString text = {};
};

// Why a desktop did not start: something this machine lacks (the test is skipped) or a failure.
struct NotStarted {
    QString why;
    bool missing = false;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // Starts the desktop; nullopt once it runs.
    virtual std::optional<NotStarted> start() = 0;
    // What the program needs in its environment to show its windows on this desktop.
    virtual void prepare(QProcessEnvironment& environment) const = 0;
    // The shown windows of process pid.
    virtual std::vector<ShownWindow> windows(qint64 pid) = 0;
    virtual bool press(const Keys& keys) = 0;
    // What the program's id on this desktop is (WM_CLASS or app_id).
    virtual QString expectedAppId() const = 0;
};

std::unique_ptr<Desktop> MakeX11Desktop();
std::unique_ptr<Desktop> MakeWaylandDesktop();

}  // namespace quenterra::test
