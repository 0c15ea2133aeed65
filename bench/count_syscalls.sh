#!/usr/bin/env bash
# System calls of the host thread per exchange: runs one exchange benchmark
# under strace twice with fixed iteration counts and divides the difference
# by the difference of the counts, so that start-up and set-up cancel out.
# strace follows only the main thread (no -f): the simulated device's thread
# is not counted. strace slows every call down, so only the counts are kept.
#   bench/count_syscalls.sh BUILD_DIR [FILTER]
set -euo pipefail
build=${1:?build folder}
filter=${2:-'^BM_GetN_PacedDevice/baud:9600'}
exe=$build/benchbin/bench_exchange/bench_exchange
small=50
large=550
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for n in $small $large; do
  TIRS_BENCH_ITERATIONS=$n strace -c -U name,calls -o "$tmp/$n" \
    "$exe" --benchmark_filter="$filter" >/dev/null 2>&1
done
# Rows "name calls" of both runs joined by name; the totals row included.
awk -v span=$((large - small)) '
  FNR == 1 { file++ }
  /^-|^ *syscall|^ *$/ { next }
  { name = $1; calls = $2; if (file == 1) a[name] = calls; else b[name] = calls }
  END {
    for (n in b) { d = (b[n] - a[n]) / span; if (d >= 0.05) printf "%-16s %.2f\n", n, d }
  }' "$tmp/$small" "$tmp/$large" | sort -k2 -nr | sed '1i call             per exchange' 
