#!/usr/bin/env bash
# A long run of the program on a flaky line: tirspanel under Xvfb, polling the
# position page of an actuator simulated by tirssim, one answer in ten left
# out, damaged or wrong. Every 10 s the program's resident memory and CPU
# time are sampled from /proc; at the end a table per minute is printed and
# the run fails when the program died or stopped polling.
#
# Usage: tools/soak.sh [MINUTES] (default 30)
#   BUILD_DIR   the build folder (default: build); configured when missing
#   FAULT_RATE  the simulator's --fault-rate (default 0.1)
#   KEEP_DIR    when set, the samples, the request log and the outputs are
#               copied there at the end
set -euo pipefail

minutes=${1:-30}
if ! [[ $minutes =~ ^[0-9]+$ ]] || ((minutes == 0)); then
  echo "usage: $0 [MINUTES]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
fault_rate=${FAULT_RATE:-0.1}
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh
. "$root/tests/e2e/lib.sh"

e2e_require_tools Xvfb cmake ninja
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C "$build" -j2 tirspanel tirssim serlink

E2E_DIR=$(mktemp -d /tmp/tirspanel-soak.XXXXXX)
finish() {
  local status=$?
  e2e_cleanup
  if [ -n "${KEEP_DIR:-}" ]; then
    mkdir -p "$KEEP_DIR"
    cp "$E2E_DIR"/samples.txt "$E2E_DIR"/*.log "$E2E_DIR"/*.out "$KEEP_DIR/" 2>/dev/null || true
  fi
  rm -rf "$E2E_DIR"
  exit $status
}
trap finish EXIT

e2e_layout "$build/bin"
# The position page (the busiest tick) with the actuator at 1 selected.
printf '[General]\r\nPage=1\r\n\r\n[Params]\r\nAddress=1\r\n\r\n' >"$E2E_DIR/tirspanel.ini"
e2e_start_sim --device 1 --fault-rate "$fault_rate"
e2e_start_x
(cd "$E2E_DIR" && exec ./tirspanel) >"$E2E_DIR/tirspanel.out" 2>&1 &
panel_pid=$!
e2e_pids+=("$panel_pid")
e2e_wait 30 "the first poll" grep -q ' 19 -$' "$E2E_DIR/requests.log" ||
  e2e_fail "the program does not poll: $(cat "$E2E_DIR/tirspanel.out")"

page_kib=$(($(getconf PAGESIZE) / 1024))
ticks_per_s=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$panel_pid/stat"; }
rss_kib() { echo $(($(awk '{ print $2 }' "/proc/$panel_pid/statm") * page_kib)); }
count() { grep -c "$1" "$E2E_DIR/requests.log" || true; }

# samples.txt: seconds, RSS KiB, CPU ticks, requests, GetInfo requests
samples=$E2E_DIR/samples.txt
start=$SECONDS
echo "0 $(rss_kib) $(cpu_ticks) $(request_count) $(count ' 3 -$')" >"$samples"
echo "soak: ${minutes} min, fault rate $fault_rate, program $panel_pid, folder $E2E_DIR"
end=$((start + minutes * 60))
while ((SECONDS < end)); do
  sleep 10
  kill -0 "$panel_pid" 2>/dev/null || e2e_fail "the program ended: $(tail -5 "$E2E_DIR/tirspanel.out")"
  echo "$((SECONDS - start)) $(rss_kib) $(cpu_ticks) $(request_count) $(count ' 3 -$')" >>"$samples"
done

# One row per minute, from the last sample of each minute.
echo
echo "| minute | RSS MiB | CPU % | requests/min | GetInfo/min |"
echo "|-------:|--------:|------:|-------------:|------------:|"
awk -v hz="$ticks_per_s" '
  { t[NR] = $1; rss[NR] = $2; cpu[NR] = $3; req[NR] = $4; info[NR] = $5 }
  END {
    prev = 1
    for (i = 2; i <= NR; i++) {
      if (int(t[i] / 60) == int(t[prev] / 60) + 1 || i == NR) {
        dt = t[i] - t[prev]
        if (dt <= 0) continue
        printf "| %6d | %7.1f | %5.1f | %12d | %11d |\n", int((t[i] + 30) / 60), rss[i] / 1024,
          100 * (cpu[i] - cpu[prev]) / hz / dt, (req[i] - req[prev]) * 60 / dt, (info[i] - info[prev]) * 60 / dt
        prev = i
      }
    }
  }' "$samples"

# Still polling: the log grew during the last minute, and the program lives.
read -r _ first_rss _ _ _ < <(sed -n 7p "$samples")
read -r _ last_rss _ _ _ < <(tail -1 "$samples")
before=$(request_count)
log_grew() { [ "$(request_count)" -gt "$before" ]; }
e2e_wait 60 "new requests" log_grew || e2e_fail "the program stopped polling"
kill -0 "$panel_pid" 2>/dev/null || e2e_fail "the program ended"
echo
echo "RSS after the first minute ${first_rss:-?} KiB, at the end $last_rss KiB; still polling: yes"
