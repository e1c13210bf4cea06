# Package check: builds the Debian package from the main build, checks it with lintian, validates the
# desktop entry, the AppStream metainfo, the icons and the manual pages of an installed tree, then
# installs the package, starts the installed program on a virtual display, and removes the package
# again (also when a step fails).
# Sourced by scripts/test with `set -euo pipefail` and QUENTERRA_ROOT set. QUENTERRA_PACKAGE_BUILD
# names another build folder to package instead of build/.

if [ "$(id -u)" -ne 0 ]; then
    echo "package: skipped (installing and removing a package needs root)"
    return 0
fi
if ! command -v dpkg >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "package: skipped (no dpkg and apt-get: not a Debian-like system)"
    return 0
fi

# Everything runs in a subshell, so its clean-up trap and variables stay out of scripts/test.
(
    build=${QUENTERRA_PACKAGE_BUILD:-$QUENTERRA_ROOT/build}
    started=$SECONDS
    work=$(mktemp -d /tmp/quenterra-package.XXXXXX)
    chmod 755 "$work"  # apt reads the .deb from here as its own user
    pulled=()          # packages the install brought along, the package itself first
    fresh=()           # of these, the ones that left no configuration files behind before

    fail() {
        echo "package: FAILED: $*" >&2
        exit 1
    }
    # show_log <log>: the end of a step's output, for a step that failed.
    show_log() { tail -n 40 "$1" >&2 || true; }

    installed() {
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
    }

    uninstall() {
        local to_purge=() to_remove=() pkg
        for pkg in "${pulled[@]}"; do
            installed "$pkg" || continue
            if [[ " ${fresh[*]} " == *" $pkg "* ]]; then
                to_purge+=("$pkg")
            else
                to_remove+=("$pkg")
            fi
        done
        : >"$work/remove.log"
        if [ ${#to_purge[@]} -gt 0 ]; then
            apt-get purge -y -o DPkg::Lock::Timeout=120 "${to_purge[@]}" >>"$work/remove.log" 2>&1 ||
                return 1
        fi
        if [ ${#to_remove[@]} -gt 0 ]; then
            apt-get remove -y -o DPkg::Lock::Timeout=120 "${to_remove[@]}" >>"$work/remove.log" 2>&1 ||
                return 1
        fi
        pulled=()
    }

    # shellcheck disable=SC2317  # run by the trap below
    cleanup() {
        local status=$?
        set +e
        if [ ${#pulled[@]} -gt 0 ]; then
            echo "package: removing ${pulled[*]} after a failure"
            if ! uninstall; then
                show_log "$work/remove.log"
                echo "package: could not remove ${pulled[*]}; remove it by hand" >&2
                status=1
            fi
        fi
        rm -rf "$work"
        exit "$status"
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    export DEBIAN_FRONTEND=noninteractive

    for tool in cpack desktop-file-validate appstreamcli file lintian man Xvfb xdotool; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/setup.sh installs it)"
    done
    [ -f "$build/CMakeCache.txt" ] || fail "$build is no configured build folder"
    # A build configured before packaging/ existed has not read it yet: run cmake there once more
    # (its cached options stay as they are).
    if [ ! -f "$build/CPackConfig.cmake" ] || [ ! -f "$build/packaging/programs.txt" ]; then
        echo "package: configuring $build again to take in packaging/"
        cmake "$build" >"$work/configure.log" 2>&1 || {
            show_log "$work/configure.log"
            fail "cmake could not configure $build"
        }
    fi

    echo "package: bringing $build up to date"
    cmake --build "$build" >"$work/build.log" 2>&1 || {
        show_log "$work/build.log"
        fail "the build failed"
    }

    echo "package: building the .deb with cpack"
    (cd "$build" && cpack -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1 || {
        show_log "$work/cpack.log"
        fail "cpack failed"
    }
    debs=("$work"/cpack/quenterra_*.deb)
    if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
        fail "cpack made no single quenterra_*.deb"
    fi
    deb=${debs[0]}
    [ "$(dpkg-deb -f "$deb" Package)" = quenterra ] || fail "the package is not named quenterra"
    depends=$(dpkg-deb -f "$deb" Depends)
    # No Qt Serial Port: on Linux the serial component works on the device itself and lists the
    # devices from /sys, so the program does not load it.
    for lib in libqt6core6 libqt6gui6 libqt6widgets6; do
        grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "no dependency on $lib: $depends"
    done
    if grep -Eq "(^|, )libqt6serialport6( |,|$)" <<<"$depends"; then
        fail "a dependency on libqt6serialport6, which the program does not load: $depends"
    fi
    recommends=$(dpkg-deb -f "$deb" Recommends)
    for pkg in fonts-lato qt6-wayland; do
        grep -Eq "(^|, )$pkg( |,|$)" <<<"$recommends" || fail "$pkg is not recommended: $recommends"
    done
    echo "package: $(basename "$deb") depends on $depends"

    # lintian, as a Debian maintainer runs it on a package. Any error or warning fails the check, and
    # so does a hardening tag of any level (the flags are in the top CMakeLists.txt). No tag is left
    # out here: all of lintian's checks of a binary package apply to this one, and what lintian gets
    # wrong about it is overridden in the package itself, with the reason
    # (packaging/quenterra.lintian-overrides). lintian's checks of a source package and of .changes
    # files do not run: cpack makes neither.
    # lintian asks not to be run as root: it runs as nobody where there is one.
    as_user=()
    if id -u nobody >/dev/null 2>&1 && command -v runuser >/dev/null 2>&1; then
        mkdir -m 755 "$work/lintian-home"
        chmod 644 "$deb"
        as_user=(runuser -u nobody -- env HOME="$work/lintian-home" TMPDIR=/tmp)
    fi
    lintian_status=0
    "${as_user[@]}" lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
        lintian_status=$?
    if [ "$lintian_status" -ne 0 ] || grep -q ' hardening-' "$work/lintian.log"; then
        cat "$work/lintian.log" >&2
        fail "lintian found problems in the package (exit status $lintian_status)"
    fi
    if [ -s "$work/lintian.log" ]; then
        sed 's/^/package: lintian: /' "$work/lintian.log"
    fi
    echo "package: lintian reports no errors, warnings or hardening tags"

    # The programs the package must hold, as the build lists them.
    mapfile -t programs < <(grep -v '^$' "$build/packaging/programs.txt")
    [ ${#programs[@]} -gt 0 ] || fail "no programs listed in $build/packaging/programs.txt"

    echo "package: validating an installed tree (DESTDIR=... cmake --install)"
    root=$work/root
    DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || {
        show_log "$work/install.log"
        fail "cmake --install failed"
    }
    for program in "${programs[@]}"; do
        [ -x "$root/usr/bin/$program" ] || fail "cmake --install installs no /usr/bin/$program"
    done
    desktop=("$root"/usr/share/applications/*.desktop)
    metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
    [ -f "${desktop[0]}" ] || fail "no desktop entry installed"
    [ -f "${metainfo[0]}" ] || fail "no metainfo installed"
    desktop-file-validate "${desktop[@]}" || fail "desktop-file-validate found problems"
    appstreamcli validate --no-net "${metainfo[@]}" >"$work/appstream.log" 2>&1 || {
        cat "$work/appstream.log" >&2
        fail "appstreamcli validate found problems"
    }
    appstreamcli validate-tree --no-net "$root/usr" >"$work/appstream.log" 2>&1 || {
        cat "$work/appstream.log" >&2
        fail "appstreamcli validate-tree found problems"
    }
    for size in 16 32 48 64 128; do
        icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/quenterra.png
        [ -f "$icon" ] || fail "no ${size}x${size} icon installed"
        file -b "$icon" | grep -q "^PNG image data, $size x $size," ||
            fail "$icon is no $size x $size PNG: $(file -b "$icon")"
    done
    # Docks match the window to its entry by its WM_CLASS, which Qt takes from the application name.
    entry=$root/usr/share/applications/io.github.quenterra.Badge.desktop
    [ -f "$entry" ] || fail "no desktop entry io.github.quenterra.Badge.desktop installed"
    grep -qx 'StartupWMClass=quenterra' "$entry" || fail "$entry names no StartupWMClass=quenterra"
    # Each program's manual page, rendered as man shows it: groff's warnings fail the check.
    for program in "${programs[@]}"; do
        page=$root/usr/share/man/man1/$program.1.gz
        [ -f "$page" ] || fail "no manual page $program(1) installed"
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" \
            >"$work/man.txt" 2>"$work/man.log" || fail "man cannot show $page: $(cat "$work/man.log")"
        [ ! -s "$work/man.log" ] || fail "man warns about $page: $(cat "$work/man.log")"
        grep -q "^NAME" "$work/man.txt" || fail "$program(1) shows no NAME section"
    done
    [ -f "$root/usr/share/doc/quenterra/changelog.gz" ] || fail "no changelog.gz installed"
    echo "package: desktop entry, metainfo, icons, manual pages and changelog are valid"

    status=$(dpkg-query -W -f='${db:Status-Status}' quenterra 2>/dev/null || true)
    if [ -n "$status" ] && [ "$status" != not-installed ] && [ "$status" != config-files ]; then
        echo "package: install check skipped (a package quenterra is already on this machine)"
        exit 0
    fi

    # What the install brings along besides the package, so that exactly that goes again.
    apt-get install -s "$deb" >"$work/simulate.log" 2>&1 || {
        show_log "$work/simulate.log"
        fail "apt-get cannot install the package"
    }
    pulled=(quenterra)
    fresh=(quenterra)
    while read -r pkg; do
        [ "$pkg" = quenterra ] && continue
        pulled+=("$pkg")
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)" = config-files ] ||
            fresh+=("$pkg")
    done < <(awk '/^Inst /{print $2}' "$work/simulate.log")

    echo "package: installing the .deb with apt-get${pulled[1]:+ (brings along ${pulled[*]:1})}"
    apt-get install -y -o DPkg::Lock::Timeout=120 "$deb" >"$work/apt.log" 2>&1 || {
        show_log "$work/apt.log"
        fail "apt-get install failed"
    }
    installed quenterra || fail "apt-get did not install quenterra"
    for program in "${programs[@]}"; do
        [ -x "/usr/bin/$program" ] || fail "the package installs no /usr/bin/$program"
    done
    echo "package: installed ${programs[*]} into /usr/bin"
    # man finds the installed pages, unless dpkg is told to leave manual pages out (as in slim
    # container images).
    if grep -Eqs '^[[:space:]]*path-exclude[[:space:]=]+/usr/share/man' \
        /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*; then
        echo "package: man check of the installed pages skipped (dpkg leaves out /usr/share/man here)"
    else
        for program in "${programs[@]}"; do
            [ "$(man -w "$program" 2>/dev/null)" = "/usr/share/man/man1/$program.1.gz" ] ||
                fail "man -w $program does not find /usr/share/man/man1/$program.1.gz"
        done
        echo "package: man finds the manual pages of ${programs[*]}"
    fi

    # A settings file in the user's folder, with a target well inside the countdown's range, so the
    # main window comes up at once. HOME, the XDG folders and TMPDIR point into the scratch folder,
    # so the run leaves nothing behind, even when interrupted.
    home=$work/home
    mkdir -p "$home/.config/quenterra" "$work/runtime"
    chmod 700 "$work/runtime"
    read -r year month day < <(date -d '+500 days' '+%Y %-m %-d')
    printf '[Target Date]\nYear=%s\nMonth=%s\nDay=%s\n[Target Time]\nHour=12\nMinute=0\nSecond=0\n[ShowBright]\nBrightValue=4\n' \
        "$year" "$month" "$day" >"$home/.config/quenterra/Vorlenta.ini"

    echo "package: starting /usr/bin/quenterra on a virtual display"
    # shellcheck disable=SC2016  # the script's variables are its own
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work" \
        QT_QPA_PLATFORM=xcb \
        "$QUENTERRA_ROOT/scripts/with-display" bash -c '
            /usr/bin/quenterra >"$1" 2>&1 &
            pid=$!
            trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null" EXIT
            for _ in $(seq 150); do
                if ! kill -0 "$pid" 2>/dev/null; then
                    wait "$pid" && status=0 || status=$?
                    echo "package: quenterra exited with status $status before its window showed" >&2
                    exit 1
                fi
                window=$(xdotool search --onlyvisible --name "^Quenterra" 2>/dev/null | head -n 1)
                if [ -n "$window" ]; then
                    if xdotool search --onlyvisible --name "^Note" >/dev/null 2>&1; then
                        echo "package: quenterra did not read ~/.config/quenterra/Vorlenta.ini" >&2
                        exit 1
                    fi
                    echo "package: its window \"$(xdotool getwindowname "$window")\" is up"
                    exit 0
                fi
                sleep 0.2
            done
            echo "package: quenterra showed no window within 30 s" >&2
            exit 1' run-quenterra "$work/quenterra.log" || {
        show_log "$work/quenterra.log"
        fail "the installed program did not start"
    }
    [ ! -e /usr/bin/Vorlenta.ini ] || fail "the installed program wrote /usr/bin/Vorlenta.ini"

    # Where no display can be opened (none named, or one that is not there, on X11 or Wayland),
    # the program says so in one line of its own and ends with status 1: no abort, no core dump.
    echo "package: starting /usr/bin/quenterra without a display"
    for display in "-u DISPLAY" "DISPLAY=:9999" "WAYLAND_DISPLAY=nowhere XDG_SESSION_TYPE=wayland"; do
        # shellcheck disable=SC2086  # the variables to set or unset, split on purpose
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE $display \
            HOME="$home" XDG_RUNTIME_DIR="$work/runtime" /usr/bin/quenterra >"$work/nodisplay.log" 2>&1 &&
            status=0 || status=$?
        if [ "$status" -ne 1 ] ||
            ! tail -n 1 "$work/nodisplay.log" | grep -q '^quenterra: no display could be opened ('; then
            show_log "$work/nodisplay.log"
            fail "started with $display, the program ended with status $status"
        fi
    done
    echo "package: without a display: $(tail -n 1 "$work/nodisplay.log"), status 1"

    echo "package: removing ${pulled[*]}"
    uninstall || {
        show_log "$work/remove.log"
        fail "apt-get could not remove quenterra"
    }
    ! installed quenterra || fail "quenterra is still installed"
    for program in "${programs[@]}"; do
        [ ! -e "/usr/bin/$program" ] || fail "/usr/bin/$program is still there after the removal"
    done
    echo "package: passed in $((SECONDS - started)) s"
)
