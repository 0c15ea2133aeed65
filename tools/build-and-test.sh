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
# Every result line that does not say "Passed" is a failure (ctest writes
# "***Failed", "Not Run", "***Timeout", "***Exception" and more).
total=$(grep -cE 'Test +#[0-9]+: ' "$log" || true)
passed=$(grep -cE 'Test +#[0-9]+: .* Passed +[0-9.]+ sec' "$log" || true)
failed=$((total - passed))
echo "$passed passed, $failed failed"
exit $status
