# Fuzzes the settings file's reader and writer with libFuzzer for QUENTERRA_FUZZ_SECONDS (60 by
# default) over a copy of tests/fuzz-corpus; a crash, a hang or a broken property fails the tests.
# Builds with clang into build-fuzz/ (the CMake preset fuzz; quick when already built); skipped where
# clang is missing.
# Sourced by scripts/test with QUENTERRA_ROOT set and `set -euo pipefail` active.

quenterra_fuzz() {
    local build="$QUENTERRA_ROOT/build-fuzz"
    local seconds="${QUENTERRA_FUZZ_SECONDS:-60}"
    if ! command -v clang++ >/dev/null 2>&1; then
        echo "clang++ not found: fuzzing skipped"
        return 0
    fi
    # The preset "fuzz" builds in the whole tree. A build-fuzz/ made from fuzz/ alone is configured
    # anew (its artifacts stay).
    if [ -f "$build/CMakeCache.txt" ] &&
        ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$QUENTERRA_ROOT" "$build/CMakeCache.txt"; then
        rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles" "$build/build.ninja"
    fi
    if [ ! -f "$build/build.ninja" ]; then
        (cd "$QUENTERRA_ROOT" && cmake --preset fuzz) >/dev/null
    fi
    (cd "$QUENTERRA_ROOT" && cmake --build --preset fuzz)

    # The fuzzer adds what it finds to the corpus it is given: a copy keeps the checked-in one small.
    local work
    work=$(mktemp -d)
    mkdir "$work/corpus"
    cp "$QUENTERRA_ROOT"/tests/fuzz-corpus/* "$work/corpus/"
    mkdir -p "$build/artifacts"
    echo "fuzz_inidocument: ${seconds} s"
    local status=0
    ( cd "$work" && "$build/fuzz_inidocument" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
        corpus >"$work/log" 2>&1 ) || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$work/log"
        echo "error: fuzz_inidocument failed; the input that did it is in $build/artifacts/" >&2
        echo "(replay it with: $build/fuzz_inidocument <file>)" >&2
        rm -rf "$work"
        return 1
    fi
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added))' \
        "$work/log" || true
    rm -rf "$work"
}

quenterra_fuzz
