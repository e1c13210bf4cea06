# Shared set-up for scripts/run and scripts/test: installs what is missing, then builds into build/.
# Sourced, not run. Quick and quiet when everything is already there.

QUENTERRA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian/Ubuntu packages the program, its tests and its tools need. qt6-wayland lets the program
# run natively on a Wayland desktop (without it, it runs through XWayland, or not at all where a
# compositor has none); libxcb1-dev describes the X11 events the program reads.
QUENTERRA_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-wayland libxcb1-dev
    fonts-lato tzdata
)

# What the tests need besides: a virtual display, keyboard, window manager, window properties and
# pictures of the screen (ImageMagick) for the end-to-end test, and for its other runs the Wayland
# compositors: sway with its keyboard and pictures (grim), GNOME's (mutter, with XWayland) and
# KDE's (KWin, with its Breeze title bars); the accessibility bus and a client of it for what a
# screen reader hears; GNOME's Qt style (Adwaita, Adwaita-Dark) for the window's texts; fonts of
# every script for the clock in every language; clang for the fuzzer and the sanitizers,
# clang-format and clang-tidy for the checks of the code, MinGW-w64 for the check of the Windows
# files, the checkers of the desktop files, and the Debian package tools with lintian and man for
# the package's check.
QUENTERRA_TEST_PACKAGES=(
    xvfb xauth xdotool openbox x11-utils imagemagick
    sway wtype grim mutter xwayland kwin-wayland kwin-style-breeze
    at-spi2-core dbus-daemon python3-pyatspi
    adwaita-qt6
    fonts-noto-core fonts-wqy-microhei
    clang libclang-rt-dev clang-format-14 clang-tidy-14
    g++-mingw-w64-x86-64-posix
    desktop-file-utils appstream dpkg-dev file lintian man-db
)

quenterra_sudo() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: installing packages needs root; run this as root or install sudo" >&2
        return 1
    fi
}

quenterra_install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "error: missing packages (${missing[*]}) and no apt-get to install them" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    quenterra_sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 update -qq
    quenterra_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# quenterra_build: configures build/ with the CMake preset "default" (once; CMakePresets.json holds the
# generator and build type) and brings it up to date. QUENTERRA_WERROR=ON, as CI sets it, makes
# compiler warnings errors; it is written into build/ and stays there until set otherwise.
quenterra_build() {
    local options=()
    if [ -n "${QUENTERRA_WERROR:-}" ]; then
        options+=("-DQUENTERRA_WERROR=$QUENTERRA_WERROR")
    fi
    if [ ! -f "$QUENTERRA_ROOT/build/build.ninja" ] || [ ${#options[@]} -gt 0 ]; then
        (cd "$QUENTERRA_ROOT" && cmake --preset default "${options[@]}") >/dev/null
    fi
    (cd "$QUENTERRA_ROOT" && cmake --build --preset default --parallel "$(nproc)")
}

# Qt for Windows (MinGW-w64), for the Windows build of scripts/test: the archive QUENTERRA_WINDOWS_QT
# names, else the one in ../shared/windows/ beside the project or in /work/shared/windows/; nothing
# when there is none.
quenterra_windows_qt_sha256=899900a58aa0283519ca46133080e0819e25eac9325540a12d01c26cc355cc0b

quenterra_windows_qt_archive() {
    local name=qt6.4.2-mingw-w64-x86_64.tar.xz candidate
    if [ -n "${QUENTERRA_WINDOWS_QT:-}" ]; then
        echo "$QUENTERRA_WINDOWS_QT"
        return
    fi
    for candidate in "$QUENTERRA_ROOT/../shared/windows/$name" "/work/shared/windows/$name"; do
        if [ -f "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
}
