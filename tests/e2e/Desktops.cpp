#include "Desktops.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace quenterra::test {

Child::Child(const QString& program, const QStringList& arguments)
{
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
}

Child::~Child()
{
    // Asked first: a compositor then takes its X server and its sockets along.
    process.terminate();
    if (!process.waitForFinished(kWaitMs)) {
        process.kill();
        process.waitForFinished(kWaitMs);
    }
}

std::optional<QString> Child::waitForLine(const QString& pattern)
{
    const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
    const QDeadlineTimer deadline(kWaitMs);
    for (;;) {
        output += process.readAll();
        if (const auto match = line.match(QString::fromLocal8Bit(output)); match.hasMatch()) {
            return match.captured(1);
        }
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
            return std::nullopt;
        }
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

std::optional<QByteArray> Run(const QString& program, const QStringList& arguments,
                              const QProcessEnvironment& environment)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(kWaitMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished(kWaitMs);
        return std::nullopt;
    }
    return tool.readAllStandardOutput();
}

namespace {

std::optional<NotStarted> missingTool(const QStringList& tools)
{
    for (const QString& tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            return NotStarted{tool + QStringLiteral(" is not installed"), true};
        }
    }
    return std::nullopt;
}

// Waits until ready() holds; false when it does not in time.
template <typename Ready>
bool waitUntil(Ready ready)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (!ready()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(100);
    }
    return true;
}

QProcessEnvironment onDisplay(const QString& display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    return environment;
}

// The quoted strings of an xprop line.
QStringList quoted(const QString& line)
{
    QStringList strings;
    static const QRegularExpression string(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    for (const auto& match : string.globalMatch(line)) {
        strings << match.captured(1);
    }
    return strings;
}

// The shown windows of process pid on an X display, as its window manager shows them; not native
// where that display is a Wayland compositor's XWayland.
std::vector<ShownWindow> x11Windows(qint64 pid, const QProcessEnvironment& display, bool native)
{
    std::vector<ShownWindow> shown;
    // Not finding any is an answer here: xdotool fails then.
    const QByteArray ids =
        Run(QStringLiteral("xdotool"),
            {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", ""},
            display)
            .value_or(QByteArray());
    const QByteArray active =
        Run(QStringLiteral("xdotool"), {"getactivewindow"}, display).value_or("").trimmed();
    for (const QByteArray& id : ids.split('\n')) {
        if (id.trimmed().isEmpty()) {
            continue;
        }
        ShownWindow window;
        window.id = QString::fromLatin1(id.trimmed());
        window.native = native;
        const QStringList properties =
            QString::fromUtf8(
                Run(QStringLiteral("xprop"),
                    {"-id", window.id, "_NET_WM_NAME", "WM_CLASS", "_NET_WM_ALLOWED_ACTIONS",
                     "_NET_FRAME_EXTENTS", "WM_TRANSIENT_FOR"},
                    display)
                    .value_or(QByteArray()))
                .split(u'\n');
        const auto property = [&properties](const char* name) {
            const QString start = QLatin1String(name) + u'(';
            const auto line =
                std::find_if(properties.begin(), properties.end(),
                             [&start](const QString& line) { return line.startsWith(start); });
            return line == properties.end() ? QString() : *line;
        };
        window.title = quoted(property("_NET_WM_NAME")).value(0);
        window.appId = quoted(property("WM_CLASS")).value(1);
        window.maximisable = property("_NET_WM_ALLOWED_ACTIONS").contains("MAXIMIZE");
        window.active = id.trimmed() == active;
        const QString geometry = QString::fromLatin1(
            Run(QStringLiteral("xwininfo"), {"-id", window.id}, display).value_or(QByteArray()));
        const auto value = [&geometry](const char* name) {
            return QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)"))
                .match(geometry)
                .captured(1)
                .toInt();
        };
        window.area = QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"),
                            value("Width"), value("Height"));
        // Left, right, top, bottom.
        const QStringList extents = property("_NET_FRAME_EXTENTS").section(u'=', 1).split(u',');
        window.frame =
            window.area.marginsAdded(QMargins(extents.value(0).toInt(), extents.value(2).toInt(),
                                              extents.value(1).toInt(), extents.value(3).toInt()));
        const auto owner = QRegularExpression(QStringLiteral("# (0x[0-9a-f]+)"))
                               .match(property("WM_TRANSIENT_FOR"));
        window.owner =
            owner.hasMatch() ? QString::number(owner.captured(1).toULongLong(nullptr, 16)) : "";
        shown.push_back(window);
    }
    return shown;
}

// Where a double-click on the window's title bar goes; nullopt where it has none.
std::optional<QPoint> titleBar(const ShownWindow& window)
{
    if (window.frame.top() >= window.area.top()) {
        return std::nullopt;
    }
    return QPoint(window.area.center().x(), (window.frame.top() + window.area.top()) / 2);
}

bool doubleClick(QPoint at, const QProcessEnvironment& display)
{
    return Run(QStringLiteral("xdotool"),
               {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click",
                "--repeat", "2", "--delay", "100", "1"},
               display)
        .has_value();
}

// Keys pressed on an X display, into the window that has the keyboard or, after focus, into that.
bool xdotoolPress(const Keys& keys, const QProcessEnvironment& display, const QStringList& focus)
{
    return (keys.keys.isEmpty() ||
            Run(QStringLiteral("xdotool"), focus + QStringList{"key"} + keys.keys, display)) &&
           (keys.text.isEmpty() ||
            Run(QStringLiteral("xdotool"), focus + QStringList{"type", "--delay", "50", keys.text},
                display));
}

bool importScreen(const QString& path, const QProcessEnvironment& display)
{
    return Run(QStringLiteral("import"), {"-window", "root", path}, display).has_value();
}

// An X display with openbox, as on a desktop: it gives new windows the keyboard, shows their
// titles, and toggles maximising on a double-click on a title bar.
class X11Desktop final : public Desktop {
public:
    std::optional<NotStarted> start() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            return NotStarted{QStringLiteral("no X display (DISPLAY is not set): run the tests on "
                                             "one (scripts/with-display)"),
                              true};
        }
        if (auto missing = missingTool({"xdotool", "xprop", "openbox", "import"})) {
            return missing;
        }
        windowManager_.emplace(QStringLiteral("openbox"));
        windowManager_->process.start();
        if (!windowManager_->process.waitForStarted(kWaitMs) || !waitUntil([this] {
                return Run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, display_)
                    .value_or("")
                    .contains("window id");
            })) {
            return NotStarted{QStringLiteral("openbox did not start: ") +
                              QString::fromLocal8Bit(windowManager_->process.readAll())};
        }
        return std::nullopt;
    }

    void prepare(QProcessEnvironment& environment) const override
    {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }

    std::vector<ShownWindow> windows(qint64 pid) override
    {
        return x11Windows(pid, display_, true);
    }

    bool press(const Keys& keys) override { return xdotoolPress(keys, display_, {}); }

    bool tryMaximise(const ShownWindow& window) override
    {
        const auto bar = titleBar(window);
        return bar && doubleClick(*bar, display_);
    }

    bool screenshot(const QString& path) override { return importScreen(path, display_); }

    QString expectedAppId() const override { return QStringLiteral("quenterra"); }

private:
    const QProcessEnvironment display_ = QProcessEnvironment::systemEnvironment();
    std::optional<Child> windowManager_;
};

// A Wayland compositor, run as a user of its own: sway and mutter refuse to run as root. As root,
// the test makes an unprivileged user for the run and removes it after it. The program runs as the
// test does and reaches the compositor's socket by its path.
class Compositor : public Desktop {
public:
    ~Compositor() override
    {
        compositor_.reset();
        if (createdUser_) {
            Run(QStringLiteral("userdel"), {kUser});
        }
    }

protected:
    // The name mutter and KWin are told to give their socket; sway picks one alike.
    static constexpr char kSocket[] = "wayland-quenterra";

    // Starts the compositor as its user, with HOME and XDG_RUNTIME_DIR in its folder.
    std::optional<NotStarted> startCompositor(const QStringList& command,
                                              QProcessEnvironment environment)
    {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           QStringLiteral("/platforms/libqwayland-generic.so"))) {
            return NotStarted{QStringLiteral("Qt's Wayland plugin (qt6-wayland) is not installed"),
                              true};
        }
        if (!runtime_.isValid() || !programRuntime_.isValid()) {
            return NotStarted{QStringLiteral("no temporary folder")};
        }
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        environment.insert(QStringLiteral("HOME"), runtime_.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        const auto user = asUser(command);
        if (!user) {
            return NotStarted{QStringLiteral("could not make the user ") + kUser};
        }
        compositor_.emplace(user->first(), user->mid(1));
        compositor_->process.setProcessEnvironment(environment);
        compositor_->process.start();
        if (!compositor_->process.waitForStarted(kWaitMs) || !waitUntil([this] {
                const QStringList sockets =
                    QDir(runtime_.path())
                        .entryList({"wayland-*"}, QDir::System)
                        .filter(QRegularExpression(QStringLiteral("^wayland-[^.]+$")));
                socket_ = sockets.isEmpty() ? QString() : runtime_.filePath(sockets.first());
                return !socket_.isEmpty() && ready();
            })) {
            compositor_->output += compositor_->process.readAll();
            return NotStarted{command.first() + QStringLiteral(" did not start: ") +
                              QString::fromLocal8Bit(compositor_->output.right(2000))};
        }
        return std::nullopt;
    }

    // Once the socket is there: whether the compositor is ready for the program.
    virtual bool ready() { return true; }

    // The command run as the compositor's user, who owns the compositor's folder.
    std::optional<QStringList> asUser(const QStringList& command)
    {
        if (::geteuid() != 0) {
            return command;
        }
        const passwd* user = ::getpwnam(kUser);
        if (!user) {
            createdUser_ = Run(QStringLiteral("useradd"),
                               {"--system", "--no-create-home", "--home-dir", "/nonexistent",
                                "--shell", "/usr/sbin/nologin", kUser})
                               .has_value();
            user = ::getpwnam(kUser);
        }
        if (!user || ::chown(QFile::encodeName(runtime_.path()).constData(), user->pw_uid,
                             user->pw_gid) != 0) {
            return std::nullopt;
        }
        return QStringList{QStandardPaths::findExecutable(QStringLiteral("setpriv")),
                           "--reuid",
                           QString::number(user->pw_uid),
                           "--regid",
                           QString::number(user->pw_gid),
                           "--clear-groups",
                           "--"} +
               command;
    }

    // The program's environment on this compositor, as a session of this desktop gives it.
    void prepareSession(QProcessEnvironment& environment, const char* desktop) const
    {
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), programRuntime_.path());
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(desktop));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // Under AddressSanitizer (scripts/test-sanitizers): Qt 6.4's Wayland plugin never frees its
        // protocol objects, Mesa's EGL state or the data of each primary selection, a leak of Qt's
        // own. The program's leaks are looked for on X11; memory errors here too.
        if (environment.contains(QStringLiteral("ASAN_OPTIONS"))) {
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                   QStringLiteral(":detect_leaks=0"));
        }
    }

    QTemporaryDir runtime_;         // the compositor's XDG_RUNTIME_DIR and HOME
    QTemporaryDir programRuntime_;  // the program's and its tools'
    std::optional<Child> compositor_;
    QString socket_;  // its Wayland socket

private:
    static constexpr char kUser[] = "quenterra-test";
    bool createdUser_ = false;
};

// sway, headless and without XWayland, so the program can only be one of its own clients. It
// offers no maximising at all: a window of fixed size floats, and a user may tile it.
class SwayDesktop final : public Compositor {
public:
    ~SwayDesktop() override { keyboard_.reset(); }

    std::optional<NotStarted> start() override
    {
        if (auto missing = missingTool({"sway", "swaymsg", "wtype", "grim"})) {
            return missing;
        }
        const QString config = runtime_.filePath(QStringLiteral("sway.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write("xwayland disable\n") < 0) {
            return NotStarted{QStringLiteral("cannot write ") + config};
        }
        file.close();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        if (auto failure = startCompositor({"sway", "-c", config}, environment)) {
            return failure;
        }
        // A keyboard for the whole run: a seat without one gives clients no keyboard, and each
        // wtype's own keyboard would come and go before the program could take its keys.
        keyboard_.emplace(QStringLiteral("wtype"), QStringList{"-s", "3600000"});
        keyboard_->process.setProcessEnvironment(clientEnvironment());
        keyboard_->process.start();
        if (!keyboard_->process.waitForStarted(kWaitMs) || !waitUntil([this] {
                const auto seats = swaymsg("get_seats").array();
                return std::any_of(seats.begin(), seats.end(), [](const QJsonValue& seat) {
                    return seat[QStringLiteral("capabilities")].toInt() & 2;  // a keyboard
                });
            })) {
            return NotStarted{QStringLiteral("sway's seat got no keyboard")};
        }
        return std::nullopt;
    }

    void prepare(QProcessEnvironment& environment) const override
    {
        prepareSession(environment, "sway");
    }

    std::vector<ShownWindow> windows(qint64 pid) override
    {
        std::vector<ShownWindow> shown;
        collect(swaymsg("get_tree").object(), pid, shown);
        return shown;
    }

    bool press(const Keys& keys) override
    {
        QStringList arguments;
        for (const QString& key : keys.keys) {
            QStringList modifiers = key.split(u'+');
            const QString last = modifiers.takeLast();
            for (const QString& modifier : modifiers) {
                arguments << "-M" << modifier;
            }
            arguments << "-k" << last;
            while (!modifiers.isEmpty()) {
                arguments << "-m" << modifiers.takeLast();  // released in reverse order
            }
        }
        if (!keys.text.isEmpty()) {
            arguments << "-d"
                      << "50" << keys.text;
        }
        return Run(QStringLiteral("wtype"), arguments, clientEnvironment()).has_value();
    }

    bool tryMaximise(const ShownWindow& /*window*/) override { return true; }

    bool screenshot(const QString& path) override
    {
        return Run(QStringLiteral("grim"), {path}, clientEnvironment()).has_value();
    }

    QString expectedAppId() const override { return QStringLiteral("io.github.quenterra.Badge"); }

private:
    bool ready() override
    {
        ipc_ = QDir(runtime_.path()).entryList({"sway-ipc.*.sock"}, QDir::System).value(0);
        ipc_ = ipc_.isEmpty() ? ipc_ : runtime_.filePath(ipc_);
        return !ipc_.isEmpty();
    }

    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), programRuntime_.path());
        return environment;
    }

    QJsonDocument swaymsg(const char* type) const
    {
        return QJsonDocument::fromJson(
            Run(QStringLiteral("swaymsg"), {"-s", ipc_, "-r", "-t", QString::fromLatin1(type)})
                .value_or(QByteArray()));
    }

    static QRect rect(const QJsonValue& value)
    {
        return {value[QStringLiteral("x")].toInt(), value[QStringLiteral("y")].toInt(),
                value[QStringLiteral("width")].toInt(), value[QStringLiteral("height")].toInt()};
    }

    static void collect(const QJsonObject& node, qint64 pid, std::vector<ShownWindow>& shown)
    {
        // A window sway has yet to lay out has no border.
        if (node[QStringLiteral("pid")].toInteger() == pid &&
            node[QStringLiteral("border")].toString() != u"none") {
            ShownWindow window;
            window.id = QString::number(node[QStringLiteral("id")].toInteger());
            window.title = node[QStringLiteral("name")].toString();
            window.appId = node[QStringLiteral("app_id")].toString();
            window.native = node[QStringLiteral("shell")].toString() == u"xdg_shell";
            // A window sway tiles is stretched to its tile; one of fixed size floats.
            window.maximisable = node[QStringLiteral("type")].toString() != u"floating_con";
            window.active = node[QStringLiteral("focused")].toBool();
            window.frame = rect(node[QStringLiteral("rect")]);
            window.area =
                rect(node[QStringLiteral("window_rect")]).translated(window.frame.topLeft());
            shown.push_back(window);
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue child : node[QLatin1String(children)].toArray()) {
                collect(child.toObject(), pid, shown);
            }
        }
    }

    std::optional<Child> keyboard_;
    QString ipc_;
};

// A compositor nested in a virtual X display of the test's own, started with -displayfd so that
// the X server picks a free display itself: its window there is the compositor's screen, 1024 by
// 768, which takes the keyboard and the mouse of that display (xdotool) and shows in its pictures.
// The compositor gets a session bus of its own.
class NestedCompositor : public Compositor {
public:
    ~NestedCompositor() override
    {
        compositor_.reset();
        bus_.reset();
    }

    std::optional<NotStarted> start() override
    {
        if (auto missing = missingTool(
                tools() + QStringList{"Xvfb", "xdotool", "xprop", "import", "dbus-daemon"})) {
            return missing;
        }
        xvfb_.emplace(QStringLiteral("Xvfb"), QStringList{"-displayfd", "1", "-screen", "0",
                                                          "1024x768x24", "-nolisten", "tcp"});
        xvfb_->process.start();
        const auto number = xvfb_->waitForLine(QStringLiteral("^(\\d+)$"));
        if (!number) {
            return NotStarted{QStringLiteral("Xvfb did not start: ") +
                              QString::fromLocal8Bit(xvfb_->output)};
        }
        host_ = onDisplay(':' + *number);
        const auto bus = asUser({"dbus-daemon", "--session", "--nofork", "--print-address"});
        if (!bus) {
            return NotStarted{QStringLiteral("no user for the compositor")};
        }
        bus_.emplace(bus->first(), bus->mid(1));
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("HOME"), runtime_.path());
        bus_->process.setProcessEnvironment(environment);
        bus_->process.start();
        const auto address = bus_->waitForLine(QStringLiteral("^(unix:\\S+)$"));
        if (!address) {
            return NotStarted{QStringLiteral("no session bus: ") +
                              QString::fromLocal8Bit(bus_->output)};
        }
        environment.insert(QStringLiteral("DISPLAY"), ':' + *number);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), *address);
        busAddress_ = *address;
        const QStringList compositor = command(':' + *number, environment);
        if (auto failure = startCompositor(compositor, environment)) {
            return failure;
        }
        // The compositor's window on the X display takes the keys.
        const auto window = QRegularExpression(QStringLiteral("\\n\\s+(0x[0-9a-f]+) "))
                                .match(QString::fromLatin1(
                                    Run(QStringLiteral("xwininfo"), {"-root", "-children"}, host_)
                                        .value_or(QByteArray())));
        screen_ = window.captured(1);
        return screen_.isEmpty()
                   ? std::optional(NotStarted{QStringLiteral("the compositor shows no window")})
                   : std::nullopt;
    }

    bool press(const Keys& keys) override
    {
        return xdotoolPress(keys, host_, {"windowfocus", "--sync", screen_});
    }

    bool screenshot(const QString& path) override { return importScreen(path, host_); }

protected:
    virtual QStringList tools() const = 0;
    // The compositor's command on that X display, and what it needs in its environment.
    virtual QStringList command(const QString& display, QProcessEnvironment& environment) = 0;

    // A command on the compositor's session bus, run as its user.
    bool onBus(const QStringList& command)
    {
        const auto user = asUser(command);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
        return user && Run(user->first(), user->mid(1), environment);
    }

    QProcessEnvironment host_;

private:
    std::optional<Child> xvfb_;
    std::optional<Child> bus_;
    QString busAddress_;
    QString screen_;
};

// GNOME's compositor, mutter, with its X server (XWayland) as in a GNOME session. It draws no title
// bars for Wayland windows, so the program goes through XWayland, where mutter draws them as the
// window asks; the windows are read there, as on X11. A double-click on a title bar toggles
// maximising, and Super+Up maximises.
class MutterDesktop final : public NestedCompositor {
public:
    void prepare(QProcessEnvironment& environment) const override
    {
        prepareSession(environment, "GNOME");
        environment.insert(QStringLiteral("DISPLAY"), xwayland_.value(QStringLiteral("DISPLAY")));
        environment.insert(QStringLiteral("XAUTHORITY"),
                           xwayland_.value(QStringLiteral("XAUTHORITY")));
    }

    std::vector<ShownWindow> windows(qint64 pid) override
    {
        return x11Windows(pid, xwayland_, false);
    }

    bool tryMaximise(const ShownWindow& window) override
    {
        const auto bar = titleBar(window);
        return bar && doubleClick(*bar, host_) && press({{"super+Up"}});
    }

    QString expectedAppId() const override { return QStringLiteral("quenterra"); }
    bool expectsNative() const override { return false; }

private:
    QStringList tools() const override { return {"mutter", "Xwayland"}; }

    QStringList command(const QString& /*display*/, QProcessEnvironment& environment) override
    {
        environment.insert(QStringLiteral("MUTTER_DEBUG_DUMMY_MODE_SPECS"),
                           QStringLiteral("1024x768"));
        return {"mutter", "--nested", "--wayland", QStringLiteral("--wayland-display=") + kSocket};
    }

    bool ready() override
    {
        compositor_->output += compositor_->process.readAll();
        const auto display = QRegularExpression(QStringLiteral("X11 display (:\\d+)"))
                                 .match(QString::fromLocal8Bit(compositor_->output));
        const QStringList cookies =
            QDir(runtime_.path()).entryList({".mutter-Xwaylandauth.*"}, QDir::Files | QDir::Hidden);
        if (!display.hasMatch() || cookies.isEmpty()) {
            return false;
        }
        xwayland_ = onDisplay(display.captured(1));
        xwayland_.insert(QStringLiteral("XAUTHORITY"), runtime_.filePath(cookies.first()));
        return true;
    }

    QProcessEnvironment xwayland_;
};

// KDE's compositor, KWin, with its own title bars (Breeze), without XWayland: the program runs
// natively. Debian's kwin_wayland carries a file capability that an unprivileged user here may not
// take: a copy of it without runs. A script of the test's inside KWin writes the windows to
// KWin's output five times a second; another asks KWin to maximise, beside a double-click on the
// title bar.
class KWinDesktop final : public NestedCompositor {
    static constexpr char kWatch[] = R"(function rect(r) { return [r.x, r.y, r.width, r.height]; }
var timer = new QTimer();
timer.interval = 200;
timer.timeout.connect(function () {
    print('quenterra-windows ' + JSON.stringify(workspace.clientList().map(function (w) {
        return { id: w.internalId.toString(), pid: w.pid, caption: w.caption,
                 resourceClass: '' + w.resourceClass, maximizable: w.maximizable, active: w.active,
                 frame: rect(w.frameGeometry), area: rect(w.bufferGeometry),
                 owner: w.transientFor ? w.transientFor.internalId.toString() : '' };
    })));
});
timer.start();
)";
    static constexpr char kMaximise[] = R"(workspace.clientList().forEach(function (w) {
    if (w.internalId.toString() == '%1')
        w.setMaximize(true, true);
});
print('quenterra-maximise asked');
)";

public:
    void prepare(QProcessEnvironment& environment) const override
    {
        prepareSession(environment, "KDE");
    }

    std::vector<ShownWindow> windows(qint64 pid) override
    {
        compositor_->output += compositor_->process.readAll();
        const QByteArray mark = "js: quenterra-windows ";
        const qsizetype at = compositor_->output.lastIndexOf(mark) + mark.size();
        const qsizetype end = compositor_->output.indexOf('\n', at);
        std::vector<ShownWindow> shown;
        for (const QJsonValue each :
             QJsonDocument::fromJson(compositor_->output.mid(at, end - at)).array()) {
            if (each[QStringLiteral("pid")].toInteger() != pid) {
                continue;
            }
            const auto rect = [&each](const char* name) {
                const QJsonArray r = each[QLatin1String(name)].toArray();
                return QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
            };
            shown.push_back(ShownWindow{each[QStringLiteral("id")].toString(),
                                        each[QStringLiteral("caption")].toString(),
                                        each[QStringLiteral("resourceClass")].toString(), true,
                                        each[QStringLiteral("maximizable")].toBool(),
                                        each[QStringLiteral("active")].toBool(), rect("frame"),
                                        rect("area"), each[QStringLiteral("owner")].toString()});
        }
        return shown;
    }

    bool tryMaximise(const ShownWindow& window) override
    {
        const auto bar = titleBar(window);
        return bar && doubleClick(*bar, host_) &&
               script(QStringLiteral("maximise"), QString::fromLatin1(kMaximise).arg(window.id)) &&
               compositor_->waitForLine(QStringLiteral("^js: quenterra-maximise (asked)$"));
    }

    QString expectedAppId() const override { return QStringLiteral("io.github.quenterra.Badge"); }
    QString shownTitle(const QString& title) const override { return title.simplified(); }

private:
    QStringList tools() const override { return {"kwin_wayland", "dbus-send"}; }

    QStringList command(const QString& display, QProcessEnvironment& environment) override
    {
        const QString copy = runtime_.filePath(QStringLiteral("kwin_wayland"));
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("kwin_wayland")), copy);
        // Its scripts' print() is a debug message.
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("kwin_scripting.debug=true"));
        return {copy,      "--x11-display", display,    "--socket", kSocket,
                "--width", "1024",          "--height", "768"};
    }

    bool ready() override
    {
        watching_ = watching_ || script(QStringLiteral("watch"), QString::fromLatin1(kWatch));
        return watching_ && compositor_->waitForLine(QStringLiteral("^js: (quenterra-windows) "));
    }

    // Loads a script into KWin and runs it.
    bool script(const QString& name, const QString& text)
    {
        const QString path = runtime_.filePath(name + QStringLiteral(".js"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
            return false;
        }
        file.close();
        const QStringList call = {"dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin",
                                  "/Scripting"};
        return onBus(call + QStringList{"org.kde.kwin.Scripting.loadScript", "string:" + path,
                                        "string:quenterra-" + name}) &&
               onBus(call + QStringList{"org.kde.kwin.Scripting.start"});
    }

    bool watching_ = false;
};

}  // namespace

std::unique_ptr<Desktop> MakeDesktop(const QString& name)
{
    if (name.isEmpty() || name == u"x11") {
        return std::make_unique<X11Desktop>();
    }
    if (name == u"wayland") {
        return std::make_unique<SwayDesktop>();
    }
    if (name == u"gnome") {
        return std::make_unique<MutterDesktop>();
    }
    if (name == u"kde") {
        return std::make_unique<KWinDesktop>();
    }
    return nullptr;
}

}  // namespace quenterra::test
