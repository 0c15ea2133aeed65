#!/usr/bin/env bash
# Runs every benchmark and the system-call count, one after another, and
# writes each one's JSON beside the console output.
#   bench/run_all.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
out=$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
for b in bench_codec bench_exchange bench_backup bench_window bench_program bench_gate; do
  [ -x "$build/benchbin/$b/$b" ] || { echo "== $b not built"; continue; }
  echo "== $b (load $(cut -d' ' -f1-3 /proc/loadavg))"
  (cd "$build/benchbin/$b" && "./$b" --benchmark_out="$out/$b.json" --benchmark_out_format=json)
done
echo "== system calls per exchange (load $(cut -d' ' -f1-3 /proc/loadavg))"
for f in '^BM_GetN_InstantSim/baud:9600' '^BM_GetN_PacedDevice/baud:9600' '^BM_GetN_PacedDevice/baud:115200'; do
  echo "-- $f"
  "$here/count_syscalls.sh" "$build" "$f"
done
echo "== done (load $(cut -d' ' -f1-3 /proc/loadavg))"
