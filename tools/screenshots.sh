#!/usr/bin/env bash
# Regenerates docs/screenshots/page-<n>-<name>.png and port-setup.png: the
# program in service mode on the simulated line (actuators 3 and 17), each of
# its five pages with the drive moving, the parameters and the relays read,
# the port setup dialog and the comparison before a write (compare.png); the
# trends, the line overview and the line's backup and restore (trends.png,
# line.png, backup.png, restore.png); after a restart, the last scan kept on
# "Сеть" and in "Линия" (page-1-net-last-scan.png, line-last-scan.png); then
# service-stroke.png (the last stroke's time beside the bar),
# service-monitor.png and service-journal.png (the two windows of the menu
# "Сервис") after a parameter write, a relay write and two full strokes on a
# line that spoils a few answers; at scale 1 and at scale 2
# (QT_SCALE_FACTOR=2, files ending in "-x2").
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
click_page relayspage.ui bbWriteRel  # a row for the journal

# 4 "Параметры": the parameters read.
next_page
e2e_wait 10 "the parameter read" logged_since "$mark" '^17 21 -$' || e2e_fail "the parameters were not read"
shot page-4-params
click_page paramspage.ui bbWrite  # rows for the journal
e2e_wait 10 "the parameter write" logged_since "$mark" '^17 14 ' || e2e_fail "the parameters were not written"

# The comparison before a write: a speed changed on the page, "Записать".
click_page paramspage.ui feV2
press_keys ctrl+a 3 5 0 Return
click_page paramspage.ui bbWrite
cwid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Сравнение параметров$' | head -1) ||
  e2e_fail "the comparison did not appear"
shot compare "$cwid"
xdotool windowfocus --sync "$cwid" 2>/dev/null || xdotool windowfocus "$cwid"
xdotool key Escape
e2e_wait 10 "the comparison to close" bash -c "! xdotool search --onlyvisible --name '^Сравнение параметров\$' >/dev/null" ||
  e2e_fail "the comparison stays open"

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

# The windows of the menu "Сервис" stand over the main window; the one to
# click or to take is raised first (there is no window manager).
# A search that meets a window being destroyed dies of the X error: again.
service_window() {
  local w i
  for i in $(seq 20); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.5
  done
  return 1
}

# "Графики": opened first, then on the parameter page (whose own tick reads
# the position only: the trends add the state, the current and the relays),
# the drive closes, stops and opens again; the last minute.
press_keys ctrl+g
twid=$(service_window 'Графики') || e2e_fail "the trends window did not open"
xdotool windowfocus --sync "$twid" 2>/dev/null || xdotool windowfocus "$twid"
xdotool key --delay 100 Up  # the time window: 1 minute
xdotool windowraise "$wid"
click_tab 3
sleep 3
click_central bbClose
sleep 10
click_central bbStop
sleep 4
click_central bbOpen
sleep 12
xdotool windowraise "$twid"
sleep 1  # the charts redraw every second
shot trends "$twid"

# "Линия": both actuators, 17 selected.
xdotool windowraise "$wid"
press_keys ctrl+l
lwid=$(service_window 'Линия') || e2e_fail "the line window did not open"
sleep 2
xdotool windowraise "$lwid"
shot line "$lwid"

# The line's backup and restore, from the last two items of the menu
# "Сервис", into a folder typed into the folder dialog.
xdotool windowraise "$wid"
backup_dir="$E2E_DIR/backup"
mkdir -p "$backup_dir"
service_item() {  # service_item N: the N-th item from the menu's end
  click_at "$(px 75)" $(($(menu_height) / 2))
  sleep 0.5
  local keys=()
  for ((i = 0; i < $1; i++)); do keys+=(Up); done
  xdotool key --delay 100 "${keys[@]}" Return
}
choose_folder() {
  local fd
  fd=$(service_window "$1") || e2e_fail "the folder dialog did not open"
  xdotool windowfocus --sync "$fd" 2>/dev/null || xdotool windowfocus "$fd"
  xdotool key ctrl+a
  xdotool type --delay 20 "$backup_dir"
  xdotool key Return
}
summary() {
  local sw
  sw=$(service_window "$1") || e2e_fail "no summary: $1"
  sleep 0.5
  shot "$2" "$sw"
  xdotool windowfocus --sync "$sw" 2>/dev/null || xdotool windowfocus "$sw"
  xdotool key Escape
  e2e_wait 10 "the summary to close" bash -c "! xdotool search --onlyvisible --name '^$1\$' >/dev/null"
}
service_item 2
choose_folder 'Папка для резервной копии линии'
summary 'Резервная копия линии' backup
# A speed written on the parameter page (after the comparison), for the
# restore to put back.
click_tab 3
click_page paramspage.ui feV2
press_keys ctrl+a 3 5 0 Return
mark=$(request_count)
click_page paramspage.ui bbWrite
cwid=$(service_window 'Сравнение параметров') || e2e_fail "the comparison did not appear"
xdotool windowfocus --sync "$cwid" 2>/dev/null || xdotool windowfocus "$cwid"
xdotool key Return
e2e_wait 10 "the parameter write" logged_since "$mark" '^17 14 ' || e2e_fail "the parameters were not written"
service_item 1
choose_folder 'Папка резервной копии линии'
rwid=$(service_window 'Восстановить линию') || e2e_fail "the restore question did not appear"
xdotool windowfocus --sync "$rwid" 2>/dev/null || xdotool windowfocus "$rwid"
xdotool key Return
summary 'Восстановление линии' restore

xdotool windowraise "$wid"
press_keys alt+x
ended() { ! kill -0 "$panel_pid" 2>/dev/null; }
e2e_wait 20 "the program to end" ended || e2e_fail "the program did not end"

# Started again on "Сеть": the last scan's actuators are kept, marked as
# such, there and in "Линия" (opened from the position page, whose poll
# fills the selected actuator's row).
sed -i 's/^Page=.*/Page=0\r/' "$E2E_DIR/tirspanel.ini"
QT_SCALE_FACTOR=$E2E_SCALE e2e_start_panel
mark=$(request_count)
e2e_wait 20 "the poll after the restart" logged_since "$mark" '^17 ' || e2e_fail "no poll after the restart"
shot page-1-net-last-scan
page=0
next_page
e2e_wait 10 "the position page's poll" logged_since "$mark" '^17 17 -$' || e2e_fail "the position page does not poll"
press_keys ctrl+l
lwid=$(service_window 'Линия') || e2e_fail "the line window did not open after the restart"
sleep 2
xdotool windowraise "$lwid"
shot line-last-scan "$lwid"
xdotool windowraise "$wid"
press_keys alt+x
e2e_wait 20 "the program to end" ended || e2e_fail "the program did not end"

# The menu "Сервис". Again from the start, on the position page, with a
# faster drive and a line that spoils about one answer in thirty.
e2e_cleanup
sed -i 's/^Page=.*/Page=1\r/' "$E2E_DIR/tirspanel.ini"
e2e_start_sim --device 3 --device 17 --time-scale 60 --fault-rate 0.03
e2e_start_x
QT_SCALE_FACTOR=$E2E_SCALE e2e_start_panel
journal="$E2E_DIR/tirspanel-journal.csv"
# drive BUTTON CODE: clicks until the drive acknowledges SetS CODE; a spoiled
# answer shows the error box (a second window with the program's title),
# which Enter closes.
drive() {
  local attempt box
  for attempt in 1 2 3 4; do
    click_central "$1"
    sleep 0.5
    grep ";SetS;MotionCode=$2;" "$journal" 2>/dev/null | tail -1 | grep -q ';ok$' && return 0
    box=$(xdotool search --onlyvisible --name 'Программа управления приводом' | grep -vx "$wid" | head -1) || true
    if [ -n "$box" ]; then
      xdotool windowfocus --sync "$box" 2>/dev/null || true
      xdotool key Return 2>/dev/null || true
      sleep 0.3
    fi
  done
  e2e_fail "the drive never acknowledged SetS $2: $(tail -3 "$journal")"
}
drive bbOpen 5
e2e_wait 60 "StrokeOpen" grep -q ";StrokeOpen;" "$journal" || e2e_fail "no StrokeOpen row"
drive bbClose 6
e2e_wait 60 "StrokeClose" grep -q ";StrokeClose;" "$journal" || e2e_fail "no StrokeClose row"
shot service-stroke  # the label beside the bar follows the next poll
press_keys ctrl+m
monitor=$(timeout 10 xdotool search --sync --onlyvisible --name 'Монитор обмена' | head -1) || true
[ -n "$monitor" ] || e2e_fail "Ctrl+M opened no monitor"
shot service-monitor "$monitor"
# The menu by its mnemonic (Alt+С), second item.
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
xdotool key --delay 150 alt+Cyrillic_es Down Return
journal_window=$(timeout 10 xdotool search --sync --onlyvisible --name 'Журнал операций' | head -1) || true
[ -n "$journal_window" ] || e2e_fail "the menu opened no journal window"
shot service-journal "$journal_window"
press_keys alt+x
e2e_wait 20 "the program to end" ended || e2e_fail "the program did not end"
