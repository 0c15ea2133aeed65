#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
# Usage: tools/build-and-test.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j2

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir "$build" -j2 --output-on-failure 2>&1 | tee "$log" || status=$?
passed=$(grep -cE 'Test +#[0-9]+: .* Passed' "$log" || true)
failed=$(grep -cE 'Test +#[0-9]+: .* (\*\*\*|Failed|Not Run|Exception|Timeout)' "$log" || true)
echo "$passed passed, $failed failed"
exit $status
