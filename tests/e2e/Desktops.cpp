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
    process.kill();
    process.waitForFinished(kWaitMs);
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

// An X display with openbox, as on a desktop: it gives new windows the keyboard and shows their
// titles.
class X11Desktop final : public Desktop {
public:
    std::optional<NotStarted> start() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            return NotStarted{
                QStringLiteral("no X display (DISPLAY is not set): run the tests under xvfb-run"),
                true};
        }
        if (auto missing = missingTool({"xdotool", "xprop", "openbox"})) {
            return missing;
        }
        windowManager_.emplace(QStringLiteral("openbox"));
        windowManager_->process.start();
        if (!windowManager_->process.waitForStarted(kWaitMs) || !waitUntil([] {
                return xprop({"-root"}, "_NET_SUPPORTING_WM_CHECK").contains("window id");
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
        std::vector<ShownWindow> shown;
        // Not finding any is an answer here: xdotool fails then.
        const QByteArray ids =
            Run(QStringLiteral("xdotool"),
                {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", ""})
                .value_or(QByteArray());
        const QByteArray active =
            Run(QStringLiteral("xdotool"), {"getactivewindow"}).value_or(QByteArray()).trimmed();
        for (const QByteArray& id : ids.split('\n')) {
            if (id.trimmed().isEmpty()) {
                continue;
            }
            ShownWindow window;
            window.id = QString::fromLatin1(id.trimmed());
            const QStringList which = {"-id", window.id};
            window.title = quoted(xprop(which, "_NET_WM_NAME")).value(0);
            window.appId = quoted(xprop(which, "WM_CLASS")).value(1);
            window.maximisable = xprop(which, "_NET_WM_ALLOWED_ACTIONS").contains("MAXIMIZE");
            window.active = id.trimmed() == active;
            shown.push_back(window);
        }
        return shown;
    }

    bool press(const Keys& keys) override
    {
        if (!keys.keys.isEmpty() &&
            !Run(QStringLiteral("xdotool"), QStringList{"key"} + keys.keys)) {
            return false;
        }
        return keys.text.isEmpty() ||
               Run(QStringLiteral("xdotool"), {"type", "--delay", "50", keys.text}).has_value();
    }

    QString expectedAppId() const override { return QStringLiteral("quenterra"); }

private:
    static QString xprop(const QStringList& which, const char* property)
    {
        return QString::fromUtf8(
            Run(QStringLiteral("xprop"), which + QStringList{QString::fromLatin1(property)})
                .value_or(QByteArray()));
    }

    // The quoted strings of an xprop line.
    static QStringList quoted(const QString& line)
    {
        QStringList strings;
        static const QRegularExpression string(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
        for (const auto& match : string.globalMatch(line)) {
            strings << match.captured(1);
        }
        return strings;
    }

    std::optional<Child> windowManager_;
};

// A Wayland compositor, sway, headless and without XWayland, so the program can only be one of its
// own clients. sway refuses to run as root: as root, the test runs it as an unprivileged user of
// its own, made for the run and removed after it. The program runs as the test does and reaches
// sway's socket by its path.
class WaylandDesktop final : public Desktop {
public:
    ~WaylandDesktop() override
    {
        keyboard_.reset();
        compositor_.reset();
        if (createdUser_) {
            Run(QStringLiteral("userdel"), {kUser});
        }
    }

    std::optional<NotStarted> start() override
    {
        if (auto missing = missingTool({"sway", "swaymsg", "wtype"})) {
            return missing;
        }
        const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                               QStringLiteral("/platforms/libqwayland-generic.so");
        if (!QFile::exists(plugin)) {
            return NotStarted{QStringLiteral("Qt's Wayland plugin (qt6-wayland) is not installed"),
                              true};
        }
        if (!runtime_.isValid() || !programRuntime_.isValid()) {
            return NotStarted{QStringLiteral("no temporary folder")};
        }
        const QString config = runtime_.filePath(QStringLiteral("sway.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write("xwayland disable\n") < 0) {
            return NotStarted{QStringLiteral("cannot write ") + config};
        }
        file.close();

        QStringList command = {QStandardPaths::findExecutable(QStringLiteral("sway")), "-c",
                               config};
        if (::geteuid() == 0) {
            const passwd* user = unprivilegedUser();
            if (!user) {
                return NotStarted{QStringLiteral("could not make the user ") + kUser +
                                  " to run sway"};
            }
            // sway's folder is the user's; the program, as root, still reaches its socket.
            for (const QString& path : {runtime_.path(), config}) {
                if (::chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) != 0) {
                    return NotStarted{QStringLiteral("cannot hand ") + path + " to " + kUser};
                }
            }
            command = QStringList{"--reuid",        QString::number(user->pw_uid),
                                  "--regid",        QString::number(user->pw_gid),
                                  "--clear-groups", "--"} +
                      command;
            command.prepend(QStandardPaths::findExecutable(QStringLiteral("setpriv")));
        }
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        environment.insert(QStringLiteral("HOME"), runtime_.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        compositor_.emplace(command.takeFirst(), command);
        compositor_->process.setProcessEnvironment(environment);
        compositor_->process.start();
        if (!compositor_->process.waitForStarted(kWaitMs) || !waitUntil([this] {
                const QDir folder(runtime_.path());
                const auto displays = folder.entryList({"wayland-*"}, QDir::System);
                const auto ipcs = folder.entryList({"sway-ipc.*.sock"}, QDir::System);
                for (const QString& name : displays) {
                    if (!name.endsWith(u".lock")) {
                        display_ = folder.filePath(name);
                    }
                }
                if (!ipcs.isEmpty()) {
                    ipc_ = folder.filePath(ipcs.first());
                }
                return !display_.isEmpty() && !ipc_.isEmpty();
            })) {
            compositor_->output += compositor_->process.readAll();
            return NotStarted{QStringLiteral("sway did not start: ") +
                              QString::fromLocal8Bit(compositor_->output.right(2000))};
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
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), display_);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), programRuntime_.path());
        environment.remove(QStringLiteral("DISPLAY"));
        // Under AddressSanitizer (scripts/test-sanitizers): Qt 6.4's Wayland plugin never frees its
        // protocol objects, Mesa's EGL state or the data of each primary selection, a leak of Qt's
        // own. The program's leaks are looked for on X11; memory errors here too.
        if (environment.contains(QStringLiteral("ASAN_OPTIONS"))) {
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                   QStringLiteral(":detect_leaks=0"));
        }
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

    QString expectedAppId() const override { return QStringLiteral("io.github.quenterra.Badge"); }

private:
    static constexpr char kUser[] = "quenterra-test";

    // The user sway runs as, made when missing (and then removed again at the end).
    const passwd* unprivilegedUser()
    {
        if (const passwd* user = ::getpwnam(kUser)) {
            return user;
        }
        createdUser_ =
            Run(QStringLiteral("useradd"), {"--system", "--no-create-home", "--home-dir",
                                            "/nonexistent", "--shell", "/usr/sbin/nologin", kUser})
                .has_value();
        return ::getpwnam(kUser);
    }

    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), display_);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), programRuntime_.path());
        return environment;
    }

    QJsonDocument swaymsg(const char* type) const
    {
        return QJsonDocument::fromJson(
            Run(QStringLiteral("swaymsg"), {"-s", ipc_, "-r", "-t", QString::fromLatin1(type)})
                .value_or(QByteArray()));
    }

    static void collect(const QJsonObject& node, qint64 pid, std::vector<ShownWindow>& shown)
    {
        if (node[QStringLiteral("pid")].toInteger() == pid) {
            ShownWindow window;
            window.id = QString::number(node[QStringLiteral("id")].toInteger());
            window.title = node[QStringLiteral("name")].toString();
            window.appId = node[QStringLiteral("app_id")].toString();
            window.native = node[QStringLiteral("shell")].toString() == u"xdg_shell";
            // A window sway tiles is stretched to its tile; one of fixed size floats.
            window.maximisable = node[QStringLiteral("type")].toString() != u"floating_con";
            window.active = node[QStringLiteral("focused")].toBool();
            shown.push_back(window);
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue child : node[QLatin1String(children)].toArray()) {
                collect(child.toObject(), pid, shown);
            }
        }
    }

    QTemporaryDir runtime_;         // sway's XDG_RUNTIME_DIR: its sockets and its configuration
    QTemporaryDir programRuntime_;  // the program's and wtype's
    std::optional<Child> compositor_;
    std::optional<Child> keyboard_;
    QString display_;
    QString ipc_;
    bool createdUser_ = false;
};

}  // namespace

std::unique_ptr<Desktop> MakeX11Desktop()
{
    return std::make_unique<X11Desktop>();
}

std::unique_ptr<Desktop> MakeWaylandDesktop()
{
    return std::make_unique<WaylandDesktop>();
}

}  // namespace quenterra::test
