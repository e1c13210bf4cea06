# shellcheck shell=bash
# shellcheck disable=SC2034  # the variables set here are the callers'
# What bench/run and bench/profile share (sourced, not run): the build, a folder for the run with
# the program and the baseline beside their settings, a virtual display of their own and, on
# request, a desktop session's accessibility bus. Each function says what is missing and stops.

# bench_build: builds the program and the benchmarks with the preset bench into build-bench/.
# Sets BUILD, BIN (the benchmarks), SHIM (the first-paint library) and BUILD_TYPE.
bench_build() {
    BUILD=$ROOT/build-bench
    if [ ! -f "$BUILD/build.ninja" ]; then
        echo "== configuring $BUILD" >&2
        (cd "$ROOT" && cmake --preset bench) >/dev/null
    fi
    echo "== building" >&2
    (cd "$ROOT" && cmake --build --preset bench) >&2
    BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
    BIN=$BUILD/bench
    SHIM=$BIN/libquenterra-bench-firstpaint.so
}

# bench_session: a folder of its own (WORK) with the program and the baseline, each beside a
# Vorlenta.ini, and a display of its own (DISPLAY). Everything it starts ends with the script.
# The program reads Vorlenta.ini beside itself, so it runs from a copy in a folder of its own, with
# a target 100 days ahead (the countdown runs; no out-of-range box) and no section Ports: the port
# probe goes over the machine's own serial devices. The baseline gets a folder alike.
bench_session() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/quenterra-bench.XXXXXX")
    XVFB_PID=
    BUS_PID=
    trap bench_cleanup EXIT
    trap 'exit 130' INT TERM
    mkdir -p "$WORK/program" "$WORK/baseline" "$WORK/config" "$WORK/runtime"
    chmod 700 "$WORK/runtime"
    cp "$BUILD/quenterra" "$WORK/program/quenterra"
    cp "$BIN/quenterra-bench-baseline" "$WORK/baseline/quenterra-bench-baseline"
    local year month day hour minute second
    read -r year month day hour minute second < <(date -d '+100 days' '+%Y %-m %-d %-H %-M %-S')
    cat >"$WORK/program/Vorlenta.ini" <<EOF
[Target Date]
Year=$year
Month=$month
Day=$day
[Target Time]
Hour=$hour
Minute=$minute
Second=$second
[ShowBright]
BrightValue=4
EOF
    export XDG_CONFIG_HOME=$WORK/config XDG_RUNTIME_DIR=$WORK/runtime
    # No session bus of the caller's: the plain runs have none, as on a bare X server.
    unset DBUS_SESSION_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON QT_ACCESSIBILITY

    # shellcheck source=../../scripts/with-display
    . "$ROOT/scripts/with-display"
    quenterra_xvfb_start "$WORK/xvfb.log" || exit 1
    XVFB_PID=$QUENTERRA_XVFB_PID
}

bench_cleanup() {
    if [ -n "${BUS_PID:-}" ]; then
        kill -- "-$BUS_PID" 2>/dev/null || true  # the bus and what it started, its process group
        wait "$BUS_PID" 2>/dev/null || true
    fi
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}

# bench_a11y_missing: the tools a session with an accessibility bus needs that are not here.
bench_a11y_missing() {
    local missing=()
    for tool in dbus-daemon dbus-send setsid; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi2-core)
    echo "${missing[*]}"
}

# bench_a11y_bus: a desktop session's accessibility, as a screen reader's user has it: a session
# bus of its own (in its own process group, which ends with the script) and on it the accessibility
# bus with its registry, started before the programs are, with the bus's address on the display's
# root window as at-spi-bus-launcher leaves it there. Sets A11Y_ENV, the environment a program of
# that session runs with (QT_LINUX_ACCESSIBILITY_ALWAYS_ON: Qt's bridge is on without asking the
# desktop whether a screen reader runs).
bench_a11y_bus() {
    setsid dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" >"$WORK/bus.log" 2>&1 &
    BUS_PID=$!
    for _ in $(seq 100); do
        [ -s "$WORK/bus" ] && break
        kill -0 "$BUS_PID" 2>/dev/null || break
        sleep 0.1
    done
    local address
    address=$(head -n 1 "$WORK/bus" 2>/dev/null)
    if [ -z "$address" ] ||
        ! DBUS_SESSION_BUS_ADDRESS=$address dbus-send --session --print-reply \
            --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >"$WORK/a11y-bus" 2>&1; then
        echo "$0: the accessibility bus did not start:" >&2
        cat "$WORK/bus.log" "$WORK/a11y-bus" >&2 2>/dev/null || true
        exit 1
    fi
    A11Y_ENV=("DBUS_SESSION_BUS_ADDRESS=$address" "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")
}
