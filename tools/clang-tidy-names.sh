#!/bin/bash
# The naming check of .clang-tidy (readability-identifier-naming) over the
# project's own sources outside the tests, with the build's
# compile_commands.json. Exits non-zero on any naming fault.
# Usage: tools/clang-tidy-names.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
if ! command -v run-clang-tidy >/dev/null 2>&1; then
    echo "Installing clang-tidy"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends clang-tidy
fi
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
# The generated form headers (ui_*.h) must exist for the window's sources.
cmake --build "$build" --target panelui_autogen >/dev/null 2>&1 || true

folders='wake|support|serlink|protocol|core|service|panel|cli|sim'
files=$(cd "$root" && git ls-files '*.cpp' | grep -E "^($folders)/" | grep -v '/tests/' |
    grep -v '_win32\.cpp$' | sed "s|^|$root/|")
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run-clang-tidy -quiet -p "$build" -j "${JOBS:-$(nproc)}" -checks='-*,readability-identifier-naming' \
    -header-filter="^$root/($folders)/" $files >"$log" 2>&1 || true
faults=$(grep -E 'warning: .*\[readability-identifier-naming\]' "$log" | sort -u || true)
if [ -n "$faults" ]; then
    echo "$faults"
    echo "naming faults: $(echo "$faults" | wc -l)" >&2
    exit 1
fi
if grep -qE '^Error|error:' "$log"; then
    grep -E 'error:' "$log" | sort -u | head -20 >&2
    echo "clang-tidy could not read every source" >&2
    exit 2
fi
echo "no naming faults"
