# Windows check: cross-builds the program and every test that runs on Windows with MinGW-w64 against
# Qt for Windows (build/windows/), runs them under Wine in a new Wine prefix (the end-to-end test
# too: quenterra.exe on a virtual display, the stand-in badge on COM7), and tries the ZIP package:
# unzipped, its quenterra.exe starts on its own DLLs and saves its settings beside itself.
#
# Qt for Windows is the archive qt6.4.2-mingw-w64-x86_64.tar.xz, found as QUENTERRA_WINDOWS_QT
# names it, else in ../shared/windows/ beside the project, else in /work/shared/windows/. Where it
# is nowhere, the check says so and is skipped; where it is, everything must pass.
# Sourced by scripts/test with `set -euo pipefail` and QUENTERRA_ROOT set.

quenterra_windows_archive=$(quenterra_windows_qt_archive)
if [ -z "$quenterra_windows_archive" ]; then
    echo "windows: skipped (no Qt for Windows: set QUENTERRA_WINDOWS_QT to qt6.4.2-mingw-w64-x86_64.tar.xz)"
    return 0
fi

# Everything runs in a subshell, so its clean-up trap and variables stay out of scripts/test.
(
    started=$SECONDS
    archive=$quenterra_windows_archive
    windows=$QUENTERRA_ROOT/build/windows
    qt=$windows/qt6-mingw
    build=$windows/build
    host=$QUENTERRA_ROOT/build

    fail() {
        echo "windows: FAILED: $*" >&2
        exit 1
    }
    show_log() { tail -n 40 "$1" >&2 || true; }

    [ -f "$archive" ] || fail "QUENTERRA_WINDOWS_QT names $archive, which is no file"
    sum=$(sha256sum "$archive" | cut -d' ' -f1)
    [ "$sum" = "$quenterra_windows_qt_sha256" ] ||
        fail "$archive is not the Qt for Windows this build takes (SHA-256 $sum)"

    quenterra_install_missing g++-mingw-w64-x86-64-posix wine64

    # Unpacked once per archive: a copy whose stamp names this archive's sum is taken as it is.
    mkdir -p "$windows"
    if [ "$(cat "$qt.sha256" 2>/dev/null || true)" != "$sum" ]; then
        echo "windows: unpacking $archive"
        rm -rf "$qt" "$qt.sha256" "$windows/unpack"
        mkdir "$windows/unpack"
        tar -xJf "$archive" -C "$windows/unpack" || fail "cannot unpack $archive"
        [ -d "$windows/unpack/qt6-mingw" ] || fail "$archive holds no folder qt6-mingw"
        mv "$windows/unpack/qt6-mingw" "$qt"
        rmdir "$windows/unpack"
        echo "$sum" >"$qt.sha256"
    fi

    work=$(mktemp -d /tmp/quenterra-windows.XXXXXX)
    export WINEPREFIX=$work/prefix
    # shellcheck disable=SC2317  # run by the trap below
    cleanup() {
        local status=$?
        "$QUENTERRA_ROOT/scripts/wine-run" --stop || true
        rm -rf "$work"
        exit "$status"
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    echo "windows: building into $build"
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$QUENTERRA_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_TOOLCHAIN_FILE="$QUENTERRA_ROOT/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_PREFIX_PATH="$qt" -DQUENTERRA_HOST_BUILD="$host" -DQUENTERRA_WERROR=ON \
            >"$work/configure.log" 2>&1 || {
            show_log "$work/configure.log"
            fail "cmake could not configure the Windows build"
        }
    fi
    cmake --build "$build" --parallel "$(nproc)" >"$work/build.log" 2>&1 || {
        grep -E 'error|warning' "$work/build.log" | head -n 40 >&2 || show_log "$work/build.log"
        fail "the Windows build failed"
    }

    echo "windows: making a Wine prefix"
    "$QUENTERRA_ROOT/scripts/wine-run" --prepare || fail "Wine cannot run here"

    echo "windows: running the tests under Wine"
    "$QUENTERRA_ROOT/scripts/with-display" timeout -k 10 900 \
        ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" ||
        fail "tests failed under Wine"

    echo "windows: packing the ZIP"
    (cd "$build" && cpack -G ZIP -B "$work/cpack") >"$work/cpack.log" 2>&1 || {
        show_log "$work/cpack.log"
        fail "cpack failed"
    }
    zips=("$work"/cpack/quenterra-*-win64.zip)
    [ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "cpack made no single quenterra-*-win64.zip"
    mkdir "$work/unzipped"
    (cd "$work/unzipped" && cmake -E tar xf "${zips[0]}") || fail "cannot unzip ${zips[0]}"
    folder=$(basename "${zips[0]}" .zip)
    program=$work/unzipped/$folder/quenterra.exe
    for file in quenterra.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6SerialPort.dll \
        libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
        styles/qwindowsvistastyle.dll LICENSE.txt; do
        [ -f "$work/unzipped/$folder/$file" ] || fail "the ZIP holds no $folder/$file"
    done
    echo "windows: $(basename "${zips[0]}") holds $(cd "$work/unzipped" && find "$folder" -type f | wc -l) files, $(du -k "${zips[0]}" | cut -f1) KiB"

    # The unzipped program on its own DLLs alone (no WINEPATH), with a settings file of the
    # brightness alone: its window shows the countdown without a Message, and closing it writes the
    # seven values beside it.
    printf '[Target Date]\r\nYear=%s\r\n[ShowBright]\r\nBrightValue=2\r\n' "$(($(date +%Y) + 1))" \
        >"$work/unzipped/$folder/Vorlenta.ini"
    echo "windows: starting the unzipped quenterra.exe on a virtual display"
    # shellcheck disable=SC2016  # the script's variables are its own
    env -u WINEPATH -u QT_QPA_PLATFORM "$QUENTERRA_ROOT/scripts/with-display" bash -c '
        "$1" "$2" >"$3" 2>&1 &
        pid=$!
        trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null" EXIT
        for _ in $(seq 150); do
            if ! kill -0 "$pid" 2>/dev/null; then
                wait "$pid" && status=0 || status=$?
                echo "windows: quenterra.exe exited with status $status before its window showed" >&2
                exit 1
            fi
            if xdotool search --onlyvisible --name "^Note" >/dev/null 2>&1; then
                echo "windows: quenterra.exe did not read the Vorlenta.ini beside it" >&2
                exit 1
            fi
            window=$(xdotool search --onlyvisible --name "^Quenterra" 2>/dev/null | head -n 1)
            if [ -n "$window" ]; then
                echo "windows: its window \"$(xdotool getwindowname "$window")\" is up; Alt+F4 closes it"
                timeout 20 xdotool windowfocus --sync "$window" key alt+F4
                for _ in $(seq 100); do
                    kill -0 "$pid" 2>/dev/null || exit 0
                    sleep 0.2
                done
                echo "windows: quenterra.exe did not end when its window was closed" >&2
                exit 1
            fi
            sleep 0.2
        done
        echo "windows: quenterra.exe showed no window within 30 s" >&2
        exit 1' run-quenterra "$QUENTERRA_ROOT/scripts/wine-run" "$program" "$work/quenterra.log" || {
        show_log "$work/quenterra.log"
        fail "the unzipped program did not start and end as it should"
    }
    for key in Year Month Day Hour Minute Second BrightValue; do
        grep -q "^$key=" "$work/unzipped/$folder/Vorlenta.ini" ||
            fail "closing the window left no $key in the Vorlenta.ini beside quenterra.exe"
    done
    grep -q '^BrightValue=2' "$work/unzipped/$folder/Vorlenta.ini" ||
        fail "the Vorlenta.ini beside quenterra.exe lost its brightness"
    echo "windows: passed in $((SECONDS - started)) s"
)
