#!/usr/bin/env bash
# The program as an operator meets it: installed in a folder of its own with
# the simulated line on COM2 (actuators at 3 and 17), under Xvfb, driven with
# the mouse and keyboard through the X server; the operation journal it
# writes beside itself.
#
# Usage: e2e_panel.sh BIN_DIR UI_DIR [KEEP_DIR]
#   BIN_DIR  the built tirspanel, libserlink.so and tirssim
#   UI_DIR   panel/ui of the sources (the forms give the controls' positions)
#   KEEP_DIR where the folder's files and a screenshot go when a step fails
set -euo pipefail

bin_dir=$(cd "$1" && pwd)
UI_DIR=$(cd "$2" && pwd)
keep_dir=${3:-$PWD}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"

e2e_require_tools Xvfb xdotool xwininfo import
E2E_DIR=$(mktemp -d /tmp/tirspanel-e2e.XXXXXX)
step="start"

finish() {
  local status=$?
  if [ $status -ne 0 ]; then
    echo "failed at: $step" >&2
    mkdir -p "$keep_dir"
    [ -n "${wid:-}" ] && import -window "$wid" "$keep_dir/failure.png" 2>/dev/null || true
    e2e_cleanup
    cp "$E2E_DIR"/*.log "$E2E_DIR"/*.out "$E2E_DIR"/state.txt "$E2E_DIR"/tirspanel.ini "$E2E_DIR"/tirspanel-journal.csv "$keep_dir/" 2>/dev/null || true
    echo "last requests:" >&2
    tail -n 15 "$E2E_DIR/requests.log" >&2 || true
    echo "kept in $keep_dir" >&2
  fi
  e2e_cleanup
  rm -rf "$E2E_DIR"
  exit $status
}
trap finish EXIT

e2e_layout "$bin_dir"
e2e_start_sim --device 3 --device 17 --time-scale 50
e2e_start_x

# (a) No settings file: the saved port defaults to COM2, the first poll
# identifies whatever answers at address 0 and starts the automatic reads.
step="(a) start with no settings file"
[ ! -e "$E2E_DIR/tirspanel.ini" ] || e2e_fail "a settings file exists before the first start"
e2e_start_panel
title=$(window_title)
e2e_note "window: $title"
[[ $title == *" на COM2" ]] || e2e_fail "the window title \"$title\" does not end in \" на COM2\""
e2e_wait 20 "GetInfo" grep -q ' - 3 -$' "$E2E_DIR/requests.log" || e2e_fail "no GetInfo on the line"
# The automatic parameter read begins with its own GetInfo and then GetA.
e2e_wait 20 "the automatic reads" grep -q ' - 9 -$' "$E2E_DIR/requests.log" ||
  e2e_fail "no automatic parameter read (GetA) on the line"

# (b) Scan the line; select the second row, the actuator at 17.
step="(b) scan and select"
click_page netpage.ui bbScanStart
e2e_wait 40 "the scan to reach 127" grep -q ' 127 3 -$' "$E2E_DIR/requests.log" ||
  e2e_fail "the scan never probed address 127"
e2e_note "scan probed 1..127"
# The scan ends right after 127 and gives the client address 0 back: the
# next poll carries no address byte.
scan_end=$(grep -n ' 127 3 -$' "$E2E_DIR/requests.log" | tail -1 | cut -d: -f1)
polls_after_scan() { requests_since "$scan_end" | grep -q '^- '; }
e2e_wait 10 "a poll after the scan" polls_after_scan || e2e_fail "no poll at address 0 after the scan"
for a in 3 17; do
  grep -q " $a 3 -$" "$E2E_DIR/requests.log" || e2e_fail "the scan did not probe $a"
done
# Nobody answers at any other address, so each of those probes must wait
# for its time-out (100 ms) before the next request goes out. A quicker one
# took an answer that was meant for an earlier request, and the table then
# lists an actuator at the wrong address.
quick=$(awk 'prev != "" { if ($1 - t < 50) printf "%s ", prev; prev = "" }
  $3 == 3 && $2 ~ /^[0-9]+$/ && $2 != 3 && $2 != 17 { prev = $2; t = $1 }' "$E2E_DIR/requests.log")
[ -z "$quick" ] || e2e_fail "the scan took stale answers as answers of the silent addresses $quick"
# Row 1 is address 3, row 2 address 17.
click_device_row 2
before_select=$(request_count)
click_page netpage.ui bbSelect
selected() { requests_since "$before_select" | grep -q '^17 3 -$'; }
e2e_wait 10 "GetInfo to 17" selected || e2e_fail "\"Выбрать\" sent no GetInfo to 17"
after_select=$(grep -n ' 17 3 -$' "$E2E_DIR/requests.log" | tail -1 | cut -d: -f1)
polls_17() { [ "$(requests_since "$after_select" | grep -c '^17 19 -$')" -ge 2 ]; }
e2e_wait 10 "polls of 17" polls_17 || e2e_fail "the poll does not address 17 after the selection"
if requests_since "$after_select" | grep -qv '^17 '; then
  e2e_fail "requests to other addresses after selecting 17: $(requests_since "$after_select" | grep -v '^17 ' | head -3)"
fi
e2e_note "17 selected"

# (c) "Открыть" on the position page: SetS 5 to 17, the drive runs to its
# open limit switch, and the operation journal beside the program times it.
step="(c) open"
click_tab 1
click_central bbOpen
started=$SECONDS
e2e_wait 10 "SetS 5" grep -q ' 17 16 05$' "$E2E_DIR/requests.log" || e2e_fail "\"Открыть\" sent no SetS 5 to 17"
at_limo() { (($(actuator_flags 17) & 0x04)); }
e2e_wait 60 "LIMO" at_limo || e2e_fail "17 never reached LIMO: $(cat "$E2E_DIR/state.txt")"
(($(actuator_flags 3) & 0x04)) && e2e_fail "3 moved as well: $(cat "$E2E_DIR/state.txt")"
e2e_note "17 at LIMO"
journal="$E2E_DIR/tirspanel-journal.csv"
stroke_row() { grep -q ';COM2;17;ТИРС-70 №0017;StrokeOpen;seconds=[0-9]*\.[0-9];ok$' "$journal" 2>/dev/null; }
e2e_wait 10 "the StrokeOpen row" stroke_row || e2e_fail "no StrokeOpen row for 17: $(cat "$journal" 2>&1)"
seconds=$(grep ';StrokeOpen;' "$journal" | sed -E 's/.*seconds=([0-9]+)\.[0-9].*/\1/')
((seconds >= 1 && seconds <= SECONDS - started)) || e2e_fail "a stroke of $seconds s in $((SECONDS - started)) s"
e2e_note "journal: StrokeOpen in about $seconds s"

# (d) Alt+X: stop and switch off, settings written beside the program, exit.
step="(d) Alt+X"
press_keys alt+x
gone() { ! kill -0 "$panel_pid" 2>/dev/null; }
e2e_wait 20 "the program to end" gone || e2e_fail "the program did not end on Alt+X"
status=0
wait "$panel_pid" || status=$?
[ $status -eq 0 ] || e2e_fail "the program ended with status $status: $(cat "$E2E_DIR/tirspanel.out")"
last=$(requests | tail -1)
[ "$last" = "17 16 00" ] || e2e_fail "the last request was \"$last\", not stop-and-switch-off (SetS 0) to 17"
head -1 "$journal" | grep -qx 'time;port;address;type;action;values;result' || e2e_fail "the journal has no header line"
grep -q ';COM2;17;ТИРС-70 №0017;SetS;MotionCode=5;ok$' "$journal" || e2e_fail "the journal lacks \"Открыть\""
tail -1 "$journal" | grep -q ';COM2;17;ТИРС-70 №0017;SetS;MotionCode=0;ok$' ||
  e2e_fail "the journal's last row is not the shutdown's SetS 0: $(tail -1 "$journal")"

ini="$E2E_DIR/tirspanel.ini"
[ -f "$ini" ] || e2e_fail "no settings file beside the program"
settings=$(tr -d '\r' <"$ini")
for section in General Port Params Names; do
  grep -qx "\[$section\]" <<<"$settings" || e2e_fail "the settings file has no section [$section]"
done
# "key=value" inside a section.
ini_value() {
  awk -v s="[$1]" -v k="$2" '/^\[/ {in_s = ($0 == s); next} in_s && index($0, k "=") == 1 {print substr($0, length(k) + 2); exit}' <<<"$settings"
}
[ "$(ini_value Port Port)" = 2 ] || e2e_fail "Port=$(ini_value Port Port), not 2"
[ "$(ini_value Params Address)" = 17 ] || e2e_fail "Address=$(ini_value Params Address), not 17"
[ "$(grep -c '^Addr[0-9]*=' <<<"$settings")" -eq 127 ] || e2e_fail "the section [Names] lacks some of Addr1..Addr127"
grep -q '^Master=' <<<"$settings" && e2e_fail "Master was written, but it is never saved"
e2e_note "settings file written"
echo "PASS"
