# Windows check: compiles every source of the program that is not Unix-only (all but *_unix.cpp,
# *_linux.cpp and *_mac.cpp) as a Windows compiler sees it, with MinGW-w64 against Qt's headers,
# syntax only, warnings as errors. Nothing here builds the Windows files (*_win.cpp) otherwise: this
# keeps them, and what they share with the other systems, compiling.
# Where Qt for Windows is at hand, the Windows build (70-windows.sh) compiles all of them for real
# instead. Sourced by scripts/test with QUENTERRA_ROOT set and `set -euo pipefail` active.

if [ -n "$(quenterra_windows_qt_archive)" ]; then
    echo "windows: the sources are compiled for Windows by the Windows build below"
    return 0
fi

(
    compiler=x86_64-w64-mingw32-g++-posix
    if ! command -v "$compiler" >/dev/null 2>&1; then
        echo "windows: $compiler is missing (scripts/setup.sh installs g++-mingw-w64-x86-64-posix)" >&2
        exit 1
    fi
    cd "$QUENTERRA_ROOT"
    mapfile -t sources < <(find src -name '*.cpp' ! -name '*_unix.cpp' ! -name '*_linux.cpp' \
        ! -name '*_mac.cpp' | sort)
    # Debian's Qt headers, which hold Qt's Windows declarations too; their own warnings are Qt's.
    read -r -a qt < <(pkg-config --cflags Qt6Widgets Qt6SerialPort | sed 's/-I/-isystem /g')
    started=$SECONDS
    printf '%s\n' "${sources[@]}" |
        xargs -P "$(nproc)" -I{} "$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
            -DUNICODE -D_UNICODE -Isrc "${qt[@]}" {} ||
        { echo "windows: the sources above do not compile for Windows" >&2; exit 1; }
    echo "windows: ${#sources[@]} sources compile for Windows ($compiler, $((SECONDS - started)) s)"
)
