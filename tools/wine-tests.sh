#!/usr/bin/env bash
# Runs the Windows build's tests under Wine against a simulated line.
# Usage: tools/wine-tests.sh [windows-build-dir]   (default build-windows;
# tools/build-windows.sh --test builds it and calls this)
#
# The serial ports of this machine are never reached: /dev/ttyS0 is its
# console, and Wine maps every /dev/ttyS* it finds to a COM port by itself.
# So the tests run in a mount namespace of their own, where every /dev/ttyS*,
# /dev/ttyUSB* and /dev/ttyACM* is /dev/null, in a fresh Wine prefix whose
# COM2 is a pseudo-terminal served by tirssim and whose COM6 leads nowhere;
# the mapping is checked before every program starts.
#
# The window test's pictures go to WINDOWS-BUILD/screenshots/; with
# TIRS_UPDATE_SCREENSHOTS=1 they replace docs/screenshots/*-windows.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build-windows}")

if [ -z "${TIRS_WINE_NAMESPACE:-}" ]; then
  # The simulator runs on Linux: from the Linux build when there is one,
  # else from a small one of its own (no window, no tests).
  host=${HOST_BUILD:-build}
  if [ ! -f "$host/CMakeCache.txt" ]; then
    host=$build/host
    [ -f "$host/CMakeCache.txt" ] ||
      cmake -S . -B "$host" -G Ninja -DTIRS_BUILD_UI=OFF -DTIRS_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$host" -j2 --target tirssim >/dev/null
  export TIRS_WINE_NAMESPACE=1 TIRSSIM=$(realpath "$host/bin/tirssim")
  exec unshare --mount --propagation private "$0" "$build"
fi

for dev in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  if [ -e "$dev" ]; then mount --bind /dev/null "$dev"; fi
done

work=$(mktemp -d /tmp/tirs-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
sim_pid=
x_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null && wait "$x_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The window's tests need an X server of their own from the start: Wine's
# desktop process, started by the first program, keeps the display it found.
if [ -e "$build/dist/tirspanel.exe" ]; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
  x_pid=$!
  for _ in $(seq 100); do grep -q '[0-9]' "$work/display" && break; sleep 0.1; done
  grep -q '[0-9]' "$work/display" || { echo "Xvfb did not start" >&2; cat "$work/xvfb.out" >&2; exit 1; }
  export DISPLAY=":$(tr -dc '0-9' <"$work/display")"
fi

started=$(date +%s%N)
# One wine server for the whole run, so that the device mapping made below is
# not made anew by a second start.
mkdir -p "$WINEPREFIX"
wineserver -p 2>"$work/wineserver.log"
wineboot -i >/dev/null 2>&1
echo "fresh Wine prefix in $((($(date +%s%N) - started) / 1000000)) ms"

"$TIRSSIM" --link "$work/line" --log "$work/requests.log" --state-file "$work/state.txt" \
  >"$work/tirssim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/line" ] && break; sleep 0.1; done
pty=$(readlink -f "$work/line")
[ -c "$pty" ] || { echo "tirssim made no pseudo-terminal" >&2; cat "$work/tirssim.out" >&2; exit 1; }

# COM2 is a port of Wine's own, named in its registry: its device manager
# makes the link and enters the port in HARDWARE\DEVICEMAP\SERIALCOMM, as a
# Windows serial driver does, when the wine server starts again. COM6 is a
# bare link to nothing: a port the system does not have.
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$pty" /f >/dev/null
wineserver -k
wineserver -p 2>>"$work/wineserver.log"
wineboot >/dev/null 2>&1

serialcomm() {  # "value name<TAB>port" lines of the registry's port list
  wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' |
    awk '$2 == "REG_SZ" { print $1 "\t" $3 }'
}
# The ports Wine found by itself (the masked /dev/ttyS*) are taken away:
# their links and their entries in the port list.
dosdevices=$WINEPREFIX/dosdevices
for link in "$dosdevices"/com*; do
  [ -L "$link" ] || continue
  name=${link##*/}
  case "$name:$(readlink "$link")" in "com2:$pty" | "com6:$work/absent") continue ;; esac
  echo "Wine's own $name -> $(readlink "$link"): removed"
  rm -f "$link"
  serialcomm | awk -F'\t' -v port="COM${name#com}" '$2 == port { print $1 }' | while read -r value; do
    wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$value" /f >/dev/null
  done
done
ln -s "$work/absent" "$dosdevices/com6"
ports=$(serialcomm | cut -f2 | sort | tr '\n' ' ')
[ "$ports" = "COM2 " ] || { echo "the registry's port list is \"$ports\", not COM2" >&2; exit 1; }

# Wine's own fonts (Tahoma for "MS Shell Dlg", as on Windows) lie in its
# data folder, where this Wine does not look: in the prefix's Fonts folder
# they are found. Without them Qt falls back to the first face Wine lists,
# here DejaVu's math font, whose line metrics put an edit field's text
# outside the field: the number fields stayed empty.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# Every COM port of the prefix is one of ours; none leads to a real device.
check_mapping() {
  local link name target
  for link in "$dosdevices"/com*; do
    [ -L "$link" ] || continue
    name=${link##*/}
    target=$(readlink "$link")
    if ! [ "$name:$target" = "com2:$pty" ] && ! [ "$name:$target" = "com6:$work/absent" ]; then
      echo "unexpected port mapping: $name -> $target" >&2
      exit 1
    fi
  done
  [ -L "$dosdevices/com2" ] || { echo "COM2 is not mapped" >&2; exit 1; }
}

failed=0
run() {  # name, program, arguments...
  local name=$1
  shift
  check_mapping
  echo "== $name"
  if timeout 300 wine "$@"; then
    echo "-- $name passed"
  else
    echo "-- $name FAILED" >&2
    failed=$((failed + 1))
  fi
}

run wine_line "$build/bin/wine_line.exe"

# tirsctl.exe from the Windows folder, as an operator runs it: scan, status,
# a parameter set read (also into a file with a Cyrillic name), changed,
# written with its verification, and read back; a missing port.
tirsctl() {  # expected exit code, arguments...
  local expected=$1
  shift
  check_mapping
  local code=0
  (cd "$work" && timeout 120 wine "$build/dist/tirsctl.exe" "$@") >"$work/out" 2>"$work/err" || code=$?
  tr -d '\r' <"$work/out" >"$work/out.txt"
  tr -d '\r' <"$work/err" >"$work/err.txt"
  if [ "$code" != "$expected" ]; then
    echo "tirsctl $*: exit $code, expected $expected" >&2
    cat "$work/out.txt" "$work/err.txt" >&2
    return 1
  fi
}
expect_line() {  # file, extended regular expression
  grep -qE "$2" "$1" || { echo "no line matching '$2' in:" >&2; cat "$1" >&2; return 1; }
}
tirsctl_checks() {
  tirsctl 0 --port COM2 scan --last 5 &&
    expect_line "$work/out.txt" '^1 +ТИРС-70 №0001' &&
    expect_line "$work/out.txt" '^2 +ТИРС-70 №0002' &&
    [ "$(grep -c . "$work/out.txt")" = 2 ] &&
    tirsctl 0 --port COM2 --address 2 --json status &&
    expect_line "$work/out.txt" '"address": 2' &&
    expect_line "$work/out.txt" '"state": ' &&
    tirsctl 0 --port COM2 --address 1 params read -o before.par &&
    expect_line "$work/before.par" '^V1=200' &&
    tirsctl 0 --port COM2 --address 1 params read -o Параметры.par &&
    { cmp "$work/before.par" "$work/Параметры.par" || { diff "$work/before.par" "$work/Параметры.par" >&2; false; }; } &&
    sed 's/^V1=200/V1=250/; s/^Vmin=.*/Vmin=90/' "$work/before.par" >"$work/changed.par" &&
    tirsctl 1 --port COM2 --address 1 params diff changed.par &&
    tirsctl 0 --port COM2 --address 1 params write changed.par &&
    tirsctl 0 --port COM2 --address 1 params diff changed.par &&
    tirsctl 0 --port COM2 --address 1 params read -o after.par &&
    expect_line "$work/after.par" '^V1=250' &&
    expect_line "$work/after.par" '^Vmin=90' &&
    tirsctl 0 --port COM2 --address 2 params read -o other.par &&
    expect_line "$work/other.par" '^V1=200' &&
    tirsctl 3 --port COM6 info &&
    expect_line "$work/err.txt" 'не найдено.*COM6'
}
echo "== tirsctl"
if tirsctl_checks; then
  echo "-- tirsctl passed"
else
  echo "-- tirsctl FAILED" >&2
  failed=$((failed + 1))
fi

# serlink.dll is taken from the program's own folder only: a program whose
# folder lacks it does not reach the line, though the current folder and
# PATH hold one.
dll_rule_checks() {
  mkdir -p "$work/planted/bin" "$work/planted/cwd"
  cp "$build/dist/tirsctl.exe" "$work/planted/bin/"
  cp "$build/dist/serlink.dll" "$work/planted/cwd/"
  check_mapping
  local code=0
  (cd "$work/planted/cwd" && WINEPATH='C:\windows;Z:'"$work/planted/cwd" \
    timeout 120 wine "$work/planted/bin/tirsctl.exe" --port COM2 --address 1 status) \
    >"$work/out" 2>"$work/err" || code=$?
  if [ "$code" != 3 ]; then
    echo "tirsctl.exe without serlink.dll beside it: exit $code, expected 3" >&2
    tr -d '\r' <"$work/out" >&2
    return 1
  fi
}
echo "== serlink.dll from the program's folder only"
if dll_rule_checks; then
  echo "-- serlink.dll from the program's folder only passed"
else
  echo "-- serlink.dll from the program's folder only FAILED" >&2
  failed=$((failed + 1))
fi

if [ -e "$build/dist/tirspanel.exe" ]; then
  . "$root/tests/wine/window.sh"
  echo "== tirspanel.exe"
  if (wine_window_test); then
    echo "-- tirspanel.exe passed"
  else
    echo "-- tirspanel.exe FAILED" >&2
    cat "$work/window/tirspanel.out" >&2 2>/dev/null || true
    failed=$((failed + 1))
  fi
  . "$root/tests/wine/installer.sh"
  echo "== the installer"
  if (wine_installer_test); then
    echo "-- the installer passed"
  else
    echo "-- the installer FAILED" >&2
    failed=$((failed + 1))
  fi
fi

[ $failed -eq 0 ] || { echo "$failed Wine test program(s) failed" >&2; exit 1; }
echo "Wine tests passed"
