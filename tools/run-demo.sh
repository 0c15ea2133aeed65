#!/usr/bin/env bash
# Builds the program and the simulator, starts the simulated actuator line
# (two actuators, at 1 and 2, linked as COM2 beside the program) and the
# program on it. Stopping the program stops the simulator.
#
# Without a display the program runs under Xvfb: the demonstration scans the
# line, selects the first actuator, opens it, saves a screenshot of the
# position page (tirspanel-demo.png, or $SCREENSHOT) and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target tirspanel tirssim serlink
bin=$(cd "$build/bin" && pwd)
# On a first run select the demonstration line's first actuator: with the
# program's default address 0 both actuators would answer every request.
[ -e "$bin/tirspanel.ini" ] || printf '[Params]\r\nAddress=1\r\n\r\n' >"$bin/tirspanel.ini"

if [ -n "${DISPLAY:-}" ]; then
  "$bin/tirssim" --port COM2 >/dev/null &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -L "$bin/ports/COM2" ] && break; sleep 0.1; done
  "$bin/tirspanel"
  exit 0
fi

shot=${SCREENSHOT:-$root/tirspanel-demo.png}
echo "No display: running the program under Xvfb on the simulated line; the screenshot goes to $shot"
UI_DIR=$root/panel/ui
. tests/e2e/lib.sh
e2e_require_tools Xvfb xdotool xwininfo import convert
# The program runs from the build folder, as it does with a display; the
# simulator's log and snapshot and the X server's files go to a folder of
# their own.
PANEL_DIR=$bin
E2E_DIR=$(mktemp -d /tmp/tirspanel-demo.XXXXXX)
work=$E2E_DIR
trap 'e2e_cleanup; rm -rf "$work"' EXIT
"$bin/tirssim" --port COM2 --log "$work/requests.log" --state-file "$work/state.txt" --time-scale 10 \
  >"$work/tirssim.out" 2>&1 &
e2e_pids+=($!)
e2e_wait 20 "the simulator" test -L "$bin/ports/COM2" || e2e_fail "tirssim did not start: $(cat "$work/tirssim.out")"
e2e_start_x
e2e_start_panel
echo "window: $(window_title)"

click_tab 0
click_page netpage.ui bbScanStart
echo "scanning the line (about 15 s)"
e2e_wait 60 "the scan" grep -q ' 127 3 -$' "$work/requests.log" || e2e_fail "the scan did not finish"
sleep 1
click_device_row 1
click_page netpage.ui bbSelect
click_tab 1
click_central bbOpen
moving() { awk '$1 == 1 {exit !($4 > 0)}' "$work/state.txt"; }
e2e_wait 30 "the drive to move" moving || echo "the drive did not move: $(cat "$work/state.txt")"
sleep 3
import -window "$wid" "$shot"
echo "screenshot: $shot"
press_keys alt+x
e2e_wait 20 "the program to end" bash -c "! kill -0 $panel_pid 2>/dev/null" || true
