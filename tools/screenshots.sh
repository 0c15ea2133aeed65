#!/usr/bin/env bash
# Regenerates docs/screenshots/page-<n>-<name>.png and port-setup.png: the
# program in service mode on the simulated line (actuators 3 and 17), each of
# its five pages with the drive moving, the parameters and the relays read,
# and the port setup dialog; at scale 1 and at scale 2 (QT_SCALE_FACTOR=2,
# files ending in "-x2").
# Usage: tools/screenshots.sh [build-dir] [scale]   (no scale: both)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=${1:-${BUILD_DIR:-build}}
if [ -z "${2:-}" ]; then
  "$0" "$build" 1
  exec "$0" "$build" 2
fi
export E2E_SCALE=$2
suffix=
[ "$E2E_SCALE" = 1 ] || suffix=-x$E2E_SCALE
tools/install-deps.sh
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target tirspanel tirssim serlink
out=$root/docs/screenshots
mkdir -p "$out"

UI_DIR=$root/panel/ui
. tests/e2e/lib.sh
e2e_require_tools Xvfb xdotool xwininfo import
E2E_DIR=$(mktemp -d /tmp/tirspanel-shots.XXXXXX)
trap 'e2e_cleanup; rm -rf "$E2E_DIR"' EXIT

e2e_layout "$build/bin"
# Service mode, actuator 17 selected, two names given.
printf '%s\r\n' '[General]' 'Page=0' 'Master=1' '' '[Port]' 'Port=2' 'Baud Rate=9600' '' \
  '[Params]' 'Address=17' '' '[Names]' 'Addr3=Задвижка подачи' 'Addr17=Задвижка слива' |
  iconv -f UTF-8 -t CP1251 >"$E2E_DIR/tirspanel.ini"
# Slow enough that the drive is still on its way while the pages are taken.
# Relay 1 follows the current input (on between 40 and 60 %), relay 3 the
# position (on above 30 %).
e2e_start_sim --device 3 --device 17 --time-scale 8 --input 17:12800 \
  --relay 17:1:1:40:60:2 --relay 17:3:2:30:100:2
e2e_start_x
QT_SCALE_FACTOR=$E2E_SCALE e2e_start_panel

shot() {
  sleep 0.7  # let the last poll's values be painted
  import -window "${2:-$wid}" "$out/$1$suffix.png"
  echo "saved docs/screenshots/$1$suffix.png"
}
logged_since() { requests_since "$1" | grep -q "$2"; }
page=0
next_page() {
  mark=$(request_count)
  page=$((page + 1))
  click_tab "$page"
}

# 1 "Сеть": a scan lists both actuators with their names.
e2e_wait 20 "the first poll" logged_since 0 '^17 19 -$' || e2e_fail "the program does not poll 17"
click_page netpage.ui bbScanStart
e2e_wait 40 "the scan" grep -q ' 127 3 -$' "$E2E_DIR/requests.log" || e2e_fail "the scan did not finish"
scan_end=$(request_count)
e2e_wait 10 "the scan's end" logged_since "$scan_end" '^17 ' || e2e_fail "no poll after the scan"
click_device_row 2  # the row of 17
shot page-1-net

# 2 "Положение привода": the drive opening, half-way.
click_central bbOpen
next_page
e2e_wait 10 "the position page's poll" logged_since "$mark" '^17 17 -$' || e2e_fail "the position page does not poll"
half_way() { awk '$1 == 17 {exit !($5 > 0 && $4 * 100 / $5 >= 35)}' "$E2E_DIR/state.txt"; }
e2e_wait 60 "the drive half-way" half_way || e2e_fail "the drive does not move: $(cat "$E2E_DIR/state.txt")"
shot page-2-position

# 3 "Управление Реле": relay settings read, states and currents live.
next_page
e2e_wait 10 "the relay read" logged_since "$mark" '^17 24 -$' || e2e_fail "the relays were not read"
e2e_wait 10 "the relay page's poll" logged_since "$mark" '^17 25 -$' || e2e_fail "the relay page does not poll"
shot page-3-relays

# 4 "Параметры": the parameters read.
next_page
e2e_wait 10 "the parameter read" logged_since "$mark" '^17 21 -$' || e2e_fail "the parameters were not read"
shot page-4-params

# 5 "Настройки".
next_page
shot page-5-settings

# The port setup dialog, from the port menu (its item is the last but one).
click_at "$(px 20)" $(($(menu_height) / 2))
sleep 0.5
press_keys Up Up Return
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name 'Настройка портов' | head -1) ||
  e2e_fail "the port setup dialog did not open"
shot port-setup "$dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
xdotool key Escape
e2e_wait 10 "the dialog to close" bash -c "! xdotool search --onlyvisible --name 'Настройка портов' >/dev/null"

press_keys alt+x
e2e_wait 20 "the program to end" bash -c "! kill -0 $panel_pid 2>/dev/null" || e2e_fail "the program did not end"
