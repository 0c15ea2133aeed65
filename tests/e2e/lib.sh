# shellcheck shell=bash
# Shared by the end-to-end test and the screenshot script: a folder laid out
# as a user installs the program, the simulated line, an X server, and the
# positions of controls taken from the Qt Designer forms.
#
# Callers set: E2E_DIR (the folder), UI_DIR (panel/ui of the sources), and
# E2E_SCALE for a program run with QT_SCALE_FACTOR (default 1): the forms'
# positions are then that many screen pixels each.
E2E_SCALE=${E2E_SCALE:-1}
px() { echo $(($1 * E2E_SCALE)); }

# xdotool matches the Cyrillic window title only in a UTF-8 locale, and a
# bare system's root shell has none.
export LC_ALL=C.UTF-8

e2e_pids=()

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_note() { echo "-- $*"; }

# Kills what this script started, by process id, newest first.
e2e_cleanup() {
  local i pid
  for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
    pid=${e2e_pids[i]}
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${e2e_pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  e2e_pids=()
}

# e2e_wait SECONDS DESCRIPTION COMMAND...: polls COMMAND until it succeeds;
# false (and says what it waited for) when the time is up.
e2e_wait() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= deadline)); then
      echo "waited ${seconds} s in vain for $what" >&2
      return 1
    fi
    sleep 0.1
  done
}

e2e_require_tools() {
  local t missing=()
  for t in "$@"; do command -v "$t" >/dev/null || missing+=("$t"); done
  [ ${#missing[@]} -eq 0 ] || e2e_fail "missing tools: ${missing[*]} (tools/install-deps.sh installs them)"
}

# e2e_layout BIN_DIR: copies the program, its library and the simulator.
e2e_layout() {
  local f
  for f in tirspanel libserlink.so tirssim; do
    [ -f "$1/$f" ] || e2e_fail "$1/$f is missing; build it first"
    cp "$1/$f" "$E2E_DIR/"
  done
}

# e2e_start_sim ARGS...: starts tirssim beside the program on COM2 and waits
# for its link; the request log is $E2E_DIR/requests.log, the actuators'
# snapshot $E2E_DIR/state.txt.
e2e_start_sim() {
  : >"$E2E_DIR/requests.log"
  "$E2E_DIR/tirssim" --port COM2 --log "$E2E_DIR/requests.log" --state-file "$E2E_DIR/state.txt" "$@" \
    >"$E2E_DIR/tirssim.out" 2>&1 &
  e2e_pids+=($!)
  e2e_wait 20 "the simulator's link" test -L "$E2E_DIR/ports/COM2" ||
    e2e_fail "tirssim made no link: $(cat "$E2E_DIR/tirssim.out")"
}

# Starts Xvfb on a free display and exports DISPLAY.
e2e_start_x() {
  local displayfile="$E2E_DIR/display"
  : >"$displayfile"
  Xvfb -displayfd 3 -screen 0 "$((1024 * E2E_SCALE))x$((768 * E2E_SCALE))x24" -nolisten tcp 3>"$displayfile" >"$E2E_DIR/xvfb.out" 2>&1 &
  e2e_pids+=($!)
  e2e_wait 20 "the X server" grep -q '[0-9]' "$displayfile" || e2e_fail "Xvfb did not start: $(cat "$E2E_DIR/xvfb.out")"
  export DISPLAY=":$(tr -dc '0-9' <"$displayfile")"
}

# Starts the program from its folder (PANEL_DIR, else E2E_DIR); sets
# panel_pid and wid (its window).
e2e_start_panel() {
  (cd "${PANEL_DIR:-$E2E_DIR}" && exec ./tirspanel) >"$E2E_DIR/tirspanel.out" 2>&1 &
  panel_pid=$!
  e2e_pids+=("$panel_pid")
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'Программа управления приводом' | head -1) || true
  [ -n "$wid" ] || e2e_fail "the program's window did not appear: $(cat "$E2E_DIR/tirspanel.out")"
  # Qt maps the window before its first paint; let it settle at its place.
  e2e_wait 10 "the window's geometry" window_has_size || e2e_fail "the window has no size"
  e2e_wait 10 "the window's first paint" measure_page_top || e2e_fail "cannot find the top of the pages"
}

window_has_size() {
  local h
  h=$(xwininfo -id "$wid" | awk '/Height:/ {print $2}')
  [ "${h:-0}" -gt 100 ]
}

window_title() { xdotool getwindowname "$wid"; }

window_height() { xwininfo -id "$wid" | awk '/Height:/ {print $2}'; }

# ui_rect FORM NAME: "x y width height" of a widget in a .ui form.
ui_rect() {
  local form=$UI_DIR/$1 name=$2 rect
  rect=$(tr -d '\n' <"$form" |
    grep -oE "name=\"$name\">[[:space:]]*<property name=\"geometry\">[[:space:]]*<rect>[[:space:]]*<x>-?[0-9]+</x>[[:space:]]*<y>-?[0-9]+</y>[[:space:]]*<width>[0-9]+</width>[[:space:]]*<height>[0-9]+</height>" |
    head -1 | sed -E 's/.*<x>(-?[0-9]+)<\/x>[[:space:]]*<y>(-?[0-9]+)<\/y>[[:space:]]*<width>([0-9]+)<\/width>[[:space:]]*<height>([0-9]+)<\/height>/\1 \2 \3 \4/')
  [ -n "$rect" ] || e2e_fail "no geometry for $name in $1"
  echo "$rect"
}

window_width() { xwininfo -id "$wid" | awk '/Width:/ {print $2}'; }

# The window's client area below the menu bar is 443 pixels high (the form's
# design), so the menu bar's height is what the window has beyond that.
menu_height() { echo $(($(window_height) - $(px 443))); }

# The pages sit in PageControl's pane, below its tab bar, whose height
# depends on the style and the fonts. Measured once on the window itself: up
# the right margin of the pane (where no page has a control) to the pane's
# top frame line; the page starts 2 pixels (the frame) below it.
PageLeft=2
PageTop=
measure_page_top() {
  local x top inside
  x=$(($(window_width) - $(px 4)))
  top=$(menu_height)
  inside=$((top + $(px 100)))
  import -window "$wid" "$E2E_DIR/calibrate.png" 2>/dev/null || return 1
  PageTop=$(convert "$E2E_DIR/calibrate.png" -crop "1x$((inside - top + 1))+$x+$top" txt:- |
    awk -v top="$top" -v scale="$E2E_SCALE" 'NR > 1 { split($1, p, "[,:]"); colour[p[2]] = $3; n = p[2] }
      END { for (y = n - 1; y >= 0; y--) if (colour[y] != colour[n]) { print top + y + 2 * scale; exit } }')
  [ -n "$PageTop" ]
}
page_top() {
  [ -n "$PageTop" ] || e2e_fail "the top of the pages was not measured"
  echo "$PageTop"
}

# click_tab INDEX: clicks the tab of a page (0 "Сеть" … 4 "Настройки"). The
# tabs' widths follow their texts, so their borders are found on the window:
# columns of the tab strip that are not background from top to bottom.
click_tab() {
  local top bottom xs
  top=$(($(menu_height) + $(px 3)))
  bottom=$(($(page_top) - $(px 6)))
  import -window "$wid" "$E2E_DIR/tabs.png" || e2e_fail "cannot take a picture of the window"
  xs=$(convert "$E2E_DIR/tabs.png" -crop "$(window_width)x$((bottom - top + 1))+0+$top" txt:- |
    awk -v rows=$((bottom - top + 1)) -v want="$1" '
      NR > 1 { split($1, p, "[,:]"); x = p[1] + 0; all[$3]++; if (x > w) w = x }
      END {
        for (k in all) if (all[k] > best) { best = all[k]; bg = k }
        tab = 0; left = 0; inborder = 1
        for (x = 0; x <= w; x++) {
          border = 1
          for (y = 0; y < rows && border; y++) if (colour[y, x] == bg) border = 0
          if (border && !inborder) { if (tab == want) { print int((left + x) / 2); exit } tab++ }
          if (!border && inborder) left = x
          inborder = border
        }
      }
      NR > 1 { split($1, q, "[,:]"); colour[q[2] + 0, q[1] + 0] = $3 }')
  [ -n "$xs" ] || e2e_fail "cannot find the tab $1"
  click_at "$xs" $(((top + bottom) / 2))
}

# click_central NAME: clicks the middle of a widget placed on the central area.
click_central() {
  local x y w h
  read -r x y w h < <(ui_rect mainform.ui "$1")
  click_at "$(px $((x + w / 2)))" $(($(menu_height) + $(px $((y + h / 2)))))
}

# click_page FORM NAME [DY [DX]]: the middle of a widget on a page (DY, DX:
# that far from its top and left edge instead).
click_page() {
  local x y w h dy dx
  read -r x y w h < <(ui_rect "$1" "$2")
  dy=${3:-$((h / 2))}
  dx=${4:-$((w / 2))}
  click_at "$(px $((PageLeft + x + dx)))" $(($(page_top) + $(px $((y + dy)))))
}

# click_device_row N: the address cell of row N of the device table (rows
# are 17 pixels high, below a heading row of the same height and the frame).
click_device_row() {
  click_page netpage.ui TableStrGrid $((1 + 18 + 17 * ($1 - 1) + 8)) 20
}

click_at() {
  xdotool mousemove --window "$wid" "$1" "$2" click 1
}

# Keys go to the focused window; without a window manager focus it first.
press_keys() {
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  xdotool key --delay 100 "$@"
}

# The request log without time stamps: "address command data".
requests() { cut -d' ' -f2- "$E2E_DIR/requests.log"; }

# requests_since N: the log after its first N lines.
requests_since() { tail -n +"$(($1 + 1))" "$E2E_DIR/requests.log" | cut -d' ' -f2-; }

request_count() { wc -l <"$E2E_DIR/requests.log"; }

# actuator_flags ADDRESS: its DriveFlags as a number.
actuator_flags() {
  local flags
  flags=$(awk -v a="$1" '$1 == a {print $3}' "$E2E_DIR/state.txt")
  echo $((${flags:-0}))
}
