#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (g++) and runs every test there.
# Usage: tools/sanitize.sh [build-dir] [extra cmake options...]
# CTEST_ARGS narrows the run, e.g. CTEST_ARGS="-R ^(serlink|core|protocol|sim)_".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/install-deps.sh
build=${1:-build-asan}
shift || true
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIRS_SANITIZE=ON -DTIRS_BUILD_TESTS=ON "$@"
cmake --build "$build" -j2

# A finding fails the test that made it. Leaks of the system's own libraries
# (fontconfig, the X and GL client libraries) are not ours: tools/lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# shellcheck disable=SC2086
ctest --test-dir "$build" -j2 --output-on-failure ${CTEST_ARGS:-} 2>&1 | tee "$log" || status=$?
passed=$(grep -cE 'Test +#[0-9]+: .* Passed' "$log" || true)
# Every result line that is not "Passed" ("***Failed", "***Timeout", "***Exception", "Not Run").
failed=$(grep -E 'Test +#[0-9]+: ' "$log" | grep -cvE ' Passed +[0-9.]+ sec' || true)
echo "$passed passed, $failed failed"
exit $status
