#pragma once

// The desktops the end-to-end test runs the program on, reached as a user reaches them: an X11
// display with a window manager (openbox), driven with xdotool and read with xprop; Wayland
// compositors: sway (headless), driven with wtype and read through swaymsg; GNOME's (mutter) and
// KDE's (KWin), each nested in a virtual X display of its own that gives them a keyboard and a
// mouse (xdotool) and pictures of their screen. Mutter is read through its X server (XWayland),
// KWin through a script of its own.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace quenterra::test {

// Generous bounds for a slow machine; none of them decides a result.
constexpr int kWaitMs = 20000;

// A process and everything it has written so far, ended if the test ends early.
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
    QRect frame;          // on the screen, with the desktop's title bar and borders
    QRect area;           // on the screen, the window's own
    // The window it is a dialog of (empty: none); nullopt where the desktop does not tell.
    std::optional<QString> owner;
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
    // What the program needs in its environment to show its windows on this desktop, as it finds
    // it in a session of this desktop.
    virtual void prepare(QProcessEnvironment& environment) const = 0;
    // The shown windows of process pid.
    virtual std::vector<ShownWindow> windows(qint64 pid) = 0;
    virtual bool press(const Keys& keys) = 0;
    // Asks for the window to be maximised as its user would: a double-click on its title bar and
    // the desktop's own shortcut or call, where it has them.
    virtual bool tryMaximise(const ShownWindow& window) = 0;
    // A picture of the screen, as PNG.
    virtual bool screenshot(const QString& path) = 0;
    // What the program's id on this desktop is (WM_CLASS or app_id), and whether it runs there as a
    // client of the desktop's own kind (not through XWayland).
    virtual QString expectedAppId() const = 0;
    virtual bool expectsNative() const { return true; }
    // A title as the desktop shows it: KWin runs of blanks together.
    virtual QString shownTitle(const QString& title) const { return title; }
};

// x11 (the default), wayland (sway), gnome (mutter) or kde (KWin); nullptr for another name.
std::unique_ptr<Desktop> MakeDesktop(const QString& name);

}  // namespace quenterra::test
