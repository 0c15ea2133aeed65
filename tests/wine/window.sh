# shellcheck shell=bash
# The window under Wine and Xvfb, sourced by tools/wine-tests.sh inside its
# mount namespace: tirspanel.exe from a folder laid out as the Windows folder,
# on COM2 (the simulated line with actuators 1 and 2). The window appears
# with its title, a scan finds both actuators, "Открыть" sends SetS 5 to the
# selected one, the parameter page reads and its fields show the numbers,
# "Настройка портов…" lists the ports of Windows' registry, and the program
# ends cleanly, leaving its settings file and journal beside itself.
# Screenshots go to $build/screenshots/, or with TIRS_UPDATE_SCREENSHOTS=1 to
# docs/screenshots/*-windows.png.
# Needs: work, build, root, the simulator's request log $work/requests.log.

# shellcheck source=../e2e/lib.sh
. "$root/tests/e2e/lib.sh"

# Pages by the keyboard, as an operator may turn them: Ctrl+Tab is the next
# page wherever the focus is in the window.
current_page=0
show_page() {
  while [ "$current_page" != "$1" ]; do
    press_keys ctrl+Tab
    current_page=$(((current_page + 1) % 5))
    sleep 0.5
  done
}

# dark_pixels IMAGE X Y W H: how many pixels of that rectangle are dark
# (text), the rectangle's border of 3 pixels (a field's frame) left out.
dark_pixels() {
  convert "$1" -crop "$(($4 - 6))x$(($5 - 6))+$(($2 + 3))+$(($3 + 3))" +repage \
    -colorspace Gray -threshold 50% -format '%[fx:round(w*h*(1-mean))]' info:
}

# field_shows_text IMAGE FORM NAME: the field of a page has text in it.
field_shows_text() {
  local x y w h
  read -r x y w h < <(ui_rect "$2" "$3")
  [ "$(dark_pixels "$1" $((PageLeft + x)) $(($(page_top) + y)) "$w" "$h")" -gt 10 ]
}

# text_lines IMAGE: the lines of text in the largest white area of a
# dialog (its list), each as the width of its dark pixels.
text_lines() {
  convert "$1" txt:- | awk '
    NR > 1 { split($1, p, "[,:]"); x = p[1] + 0; y = p[2] + 0
      if (x > w) w = x; if (y > h) h = y
      split($2, c, "[(),]"); sum = c[2] + c[3] + c[4]
      if (sum >= 765) white[y]++
      if (sum < 300) { dark[y]++; if (!(y in lo) || x < lo[y]) lo[y] = x; if (x > hi[y]) hi[y] = x } }
    END {
      for (y = 0; y <= h && !(white[y] > 0.6 * w); y++) ;
      for (; y <= h && (white[y] > 0.6 * w || dark[y] > 0); y++) {
        if (dark[y] > 0) { if (!inline) { left = lo[y]; right = hi[y] } inline = 1
          if (lo[y] < left) left = lo[y]; if (hi[y] > right) right = hi[y] }
        else if (inline) { print right - left + 1; inline = 0 }
      }
    }'
}

# Run in a subshell: what it starts (the program) ends with it.
wine_window_test() {
  # The screen as the test left it, for a look after a failure.
  trap 'import -window root /tmp/tirs-wine-window-last.png 2>/dev/null; e2e_cleanup' EXIT
  UI_DIR=$root/panel/ui
  E2E_DIR=$work/window
  mkdir -p "$E2E_DIR"
  e2e_require_tools Xvfb xdotool xwininfo import convert
  local app=$work/app shots=$build/screenshots
  [ "${TIRS_UPDATE_SCREENSHOTS:-0}" = 1 ] && shots=$root/docs/screenshots
  mkdir -p "$app" "$shots"
  cp "$build/dist/tirspanel.exe" "$build/dist/serlink.dll" "$app/"
  # The first actuator selected: at the default address 0 both would answer.
  printf '%s\r\n' '[Port]' 'Port=2' '' '[Params]' 'Address=1' '' >"$app/tirspanel.ini"
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
  [[ $title == *" на COM2" ]] || { echo "the title \"$title\" does not name COM2" >&2; return 1; }

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
  show_page 1
  click_central bbOpen
  e2e_wait 20 "SetS 5 to 1" grep -q ' 1 16 05$' "$E2E_DIR/requests.log" || return 1
  sleep 4
  import -window "$wid" "$shots/page-2-position-windows.png"
  before=$(request_count)
  show_page 3
  params_read() { requests_since "$before" | grep -q '^1 9 -$'; }
  e2e_wait 30 "the parameter read (GetA)" params_read || return 1
  # The whole set takes a few seconds at 9600 baud.
  sleep 8
  import -window "$wid" "$shots/page-4-params-windows.png"
  local field
  for field in feAddr2 feVm feV1; do
    field_shows_text "$shots/page-4-params-windows.png" paramspage.ui $field ||
      { echo "the parameter field $field shows no number" >&2; return 1; }
  done

  # "Настройка портов…" from the keyboard: Alt gives the menu bar the focus
  # on "Порт", Down opens it, and two steps up from its first item (past
  # "Выход", round the end) is the port setup.
  press_keys alt Down Up Up Return
  local dialog lines
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Настройка портов$' | head -1) || true
  [ -n "$dialog" ] || { echo "\"Настройка портов…\" showed no dialog" >&2; return 1; }
  # The focus away from the list (to the baud rate), so that no focus frame
  # is drawn round its first line.
  xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
  xdotool key Tab
  sleep 1
  import -window "$dialog" "$shots/port-setup-windows.png"
  # COM2, the one port Wine has: one short line, not the long note of an
  # empty list.
  lines=$(text_lines "$shots/port-setup-windows.png" | tr '\n' ' ')
  echo "port list: lines of $lines pixels"
  [[ $lines =~ ^[0-9]+\ $ ]] && [ "${lines% }" -lt 80 ] ||
    { echo "the port setup does not list COM2 alone" >&2; return 1; }
  xdotool key Escape
  e2e_wait 10 "the port setup to close" bash -c "! xdotool search --onlyvisible --name '^Настройка портов$' >/dev/null" ||
    return 1

  press_keys alt+x
  e2e_wait 30 "the program to end" bash -c "! kill -0 $panel_pid 2>/dev/null" || return 1
  wait "$panel_pid" || { echo "tirspanel.exe exited with $?" >&2; return 1; }
  grep -q '^Address=1' <(iconv -f cp1251 -t utf-8 "$app/tirspanel.ini" | tr -d '\r') ||
    { echo "no tirspanel.ini with Address=1 beside the program" >&2; return 1; }
  grep -q ';COM2;1;.*;SetS;MotionCode=5;ok' "$app/tirspanel-journal.csv" ||
    { echo "the journal beside the program lacks \"Открыть\"" >&2; return 1; }
}
