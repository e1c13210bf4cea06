# Format check: every C++ file of the project is as clang-format 14 leaves it, by .clang-format.
# Sourced by scripts/test with QUENTERRA_ROOT set and `set -euo pipefail` active.

(
    format=$(command -v clang-format-14 || true)
    if [ -z "$format" ]; then
        echo "format: clang-format-14 is missing (scripts/setup.sh installs it)" >&2
        exit 1
    fi
    cd "$QUENTERRA_ROOT"
    mapfile -t files < <(find src tests tools bench fuzz packaging \( -name '*.cpp' -o -name '*.h' \) |
        sort)
    "$format" --dry-run --Werror "${files[@]}" ||
        { echo "format: the files above differ; clang-format-14 -i <file> formats one" >&2; exit 1; }
    echo "format: ${#files[@]} files as clang-format leaves them"
)
