#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on
# a copy of its corpus from fuzz/corpus/ (the repository's corpus stays as it
# is). Fails when a fuzzer finds a crash, a leak, a time-out or a broken property;
# the input that did it is kept in the work folder named at the end.
# Usage: tools/run-fuzzers.sh [seconds-per-fuzzer, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
fuzzers=(fuzz_frame_decoder fuzz_ini_image fuzz_number_text fuzz_protocol_answers)

# clang and its runtimes (libFuzzer and the sanitizers live in libclang-rt).
tools/install-deps.sh
if ! command -v clang++ >/dev/null 2>&1 || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing clang"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTIRS_BUILD_FUZZ=ON -DTIRS_BUILD_UI=OFF -DTIRS_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target "${fuzzers[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tirs-fuzz.XXXXXX")
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for f in "${fuzzers[@]}"; do
  mkdir -p "$work/$f/corpus" "$work/$f/artifacts"
  cp -R "fuzz/corpus/$f/." "$work/$f/corpus/"
  echo "== $f: $seconds s"
  status=0
  "$build/fuzz/$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$f/artifacts/" \
    "$work/$f/corpus" >"$work/$f/log" 2>&1 || status=$?
  runs=$(grep -m1 'stat::number_of_executed_units' "$work/$f/log" | awk '{print $2}')
  rate=$(grep -m1 'stat::average_exec_per_sec' "$work/$f/log" | awk '{print $2}')
  cov=$(grep -E '^#[0-9]+' "$work/$f/log" | tail -1 | grep -oE 'cov: [0-9]+' || true)
  if [ "$status" -ne 0 ] || ls "$work/$f/artifacts/"* >/dev/null 2>&1; then
    echo "$f: FAILED (exit $status) after ${runs:-?} runs"
    grep -E 'ERROR|SUMMARY|property broken|Test unit written' "$work/$f/log" | head -20 || true
    failed+=("$f")
  else
    echo "$f: ok, ${runs:-?} runs, ${rate:-?} exec/s, ${cov:-cov: ?}"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzers failed: ${failed[*]} (logs and inputs in $work)"
  exit 1
fi
rm -rf "$work"
echo "All ${#fuzzers[@]} fuzzers ran $seconds s each without findings"
