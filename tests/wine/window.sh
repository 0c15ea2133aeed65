# shellcheck shell=bash
# The window under Wine and Xvfb, sourced by tools/wine-tests.sh inside its
# mount namespace: tirspanel.exe from a folder laid out as the Windows folder,
# on COM5 (the simulated line with actuators 1 and 2). The window appears
# with its title, a scan finds both actuators, "Открыть" sends SetS 5 to the
# selected one, the parameter page reads, and the program ends cleanly,
# leaving its settings file and journal beside itself. Screenshots go to
# docs/screenshots/*-windows.png.
# Needs: work, build, root, the simulator's request log $work/requests.log.

# shellcheck source=../e2e/lib.sh
. "$root/tests/e2e/lib.sh"

# The tabs by their places: the Windows style draws them in Wine's fonts,
# the same on every run, and their borders are not told apart from the page
# the way tests/e2e/lib.sh finds them in the Fusion style.
click_tab() {
  local centres=(20 105 228 323 398)
  click_at "${centres[$1]}" $(($(menu_height) + 10))
  sleep 0.5
}

# Run in a subshell: what it starts (the program) ends with it.
wine_window_test() {
  # The screen as the test left it, for a look after a failure.
  trap 'import -window root /tmp/tirs-wine-window-last.png 2>/dev/null; e2e_cleanup' EXIT
  UI_DIR=$root/panel/ui
  E2E_DIR=$work/window
  mkdir -p "$E2E_DIR"
  e2e_require_tools Xvfb xdotool xwininfo import convert
  local app=$work/app shots=$root/docs/screenshots
  mkdir -p "$app"
  cp "$build/dist/tirspanel.exe" "$build/dist/serlink.dll" "$app/"
  # The first actuator selected: at the default address 0 both would answer.
  printf '%s\r\n' '[Port]' 'Port=5' '' '[Params]' 'Address=1' '' >"$app/tirspanel.ini"
  ln -sf "$work/requests.log" "$E2E_DIR/requests.log"
  ln -sf "$work/state.txt" "$E2E_DIR/state.txt"

  check_mapping
  (cd "$app" && exec wine tirspanel.exe) >"$E2E_DIR/tirspanel.out" 2>&1 &
  panel_pid=$!
  e2e_pids+=("$panel_pid")
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'Программа управления приводом' | head -1) || true
  [ -n "$wid" ] || {
    echo "the window did not appear: $(cat "$E2E_DIR/tirspanel.out")" >&2
    xdotool search --name . 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done >&2
    return 1
  }
  # No window manager places it: at the screen's corner, all of it seen.
  xdotool windowmove --sync "$wid" 0 0 2>/dev/null || xdotool windowmove "$wid" 0 0
  e2e_wait 20 "the window's geometry" window_has_size || return 1
  e2e_wait 20 "the window's first paint" measure_page_top || return 1
  local title
  title=$(window_title)
  echo "window: $title"
  [[ $title == *" на COM5" ]] || { echo "the title \"$title\" does not name COM5" >&2; return 1; }

  click_tab 0
  local before
  before=$(request_count)
  click_page netpage.ui bbScanStart
  e2e_wait 90 "the scan to reach 127" grep -q ' 127 3 -$' "$E2E_DIR/requests.log" || return 1
  sleep 2
  import -window "$wid" "$shots/page-1-net-windows.png"
  # Both actuators are in the table: selecting its second row, then its
  # first, talks to each.
  local row
  for row in 2 1; do
    before=$(request_count)
    click_device_row $row
    click_page netpage.ui bbSelect
    selected() { requests_since "$before" | grep -q "^$row 3 -$"; }
    e2e_wait 20 "actuator $row selected" selected || return 1
  done
  click_tab 1
  click_central bbOpen
  e2e_wait 20 "SetS 5 to 1" grep -q ' 1 16 05$' "$E2E_DIR/requests.log" || return 1
  sleep 4
  import -window "$wid" "$shots/page-2-position-windows.png"
  before=$(request_count)
  click_tab 3
  params_read() { requests_since "$before" | grep -q '^1 9 -$'; }
  e2e_wait 30 "the parameter read (GetA)" params_read || return 1
  # The whole set takes a few seconds at 9600 baud.
  sleep 8
  import -window "$wid" "$shots/page-4-params-windows.png"

  press_keys alt+x
  e2e_wait 30 "the program to end" bash -c "! kill -0 $panel_pid 2>/dev/null" || return 1
  wait "$panel_pid" || { echo "tirspanel.exe exited with $?" >&2; return 1; }
  grep -q '^Address=1' <(iconv -f cp1251 -t utf-8 "$app/tirspanel.ini" | tr -d '\r') ||
    { echo "no tirspanel.ini with Address=1 beside the program" >&2; return 1; }
  grep -q ';COM5;1;.*;SetS;MotionCode=5;ok' "$app/tirspanel-journal.csv" ||
    { echo "the journal beside the program lacks \"Открыть\"" >&2; return 1; }
}
