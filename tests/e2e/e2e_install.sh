#!/usr/bin/env bash
# cmake --install into a fresh folder gives a portable program: the program,
# its library, the simulator, a desktop entry naming that folder and the
# icon, and tirsctl; the program and tirsctl run from there on that folder's
# simulator, and the program writes its settings file beside itself.
#
# Usage: e2e_install.sh CMAKE BUILD_DIR UI_DIR
set -euo pipefail

cmake=$1
build_dir=$2
UI_DIR=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"

e2e_require_tools Xvfb xdotool xwininfo import
E2E_DIR=$(mktemp -d /tmp/tirspanel-install.XXXXXX)
trap 'e2e_cleanup; rm -rf "$E2E_DIR"' EXIT

"$cmake" --install "$build_dir" --prefix "$E2E_DIR" >"$E2E_DIR/install.out" ||
  e2e_fail "cmake --install failed: $(cat "$E2E_DIR/install.out")"
for f in tirspanel tirsctl libserlink.so tirssim tirspanel.desktop tirspanel.svg; do
  [ -f "$E2E_DIR/$f" ] || e2e_fail "$f was not installed"
done
for f in tirspanel tirsctl tirssim; do [ -x "$E2E_DIR/$f" ] || e2e_fail "$f is not executable"; done
grep -qx "Exec=\"$E2E_DIR/tirspanel\"" "$E2E_DIR/tirspanel.desktop" || e2e_fail "the desktop entry does not start $E2E_DIR/tirspanel"
grep -qx "Icon=$E2E_DIR/tirspanel.svg" "$E2E_DIR/tirspanel.desktop" || e2e_fail "the desktop entry has no icon in $E2E_DIR"
# The program finds its library beside itself and nowhere else.
runpath=$(readelf -d "$E2E_DIR/tirspanel" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
[ "$runpath" = '$ORIGIN' ] || e2e_fail "the installed program's library path is \"$runpath\", not \$ORIGIN"

e2e_start_sim --device 5 --time-scale 50
# tirsctl beside it finds the same port (COM2 by default) and its library.
info=$("$E2E_DIR/tirsctl" --address 5 info 2>&1) || e2e_fail "tirsctl info failed: $info"
[ "$info" = "5  ТИРС-70 №0005" ] || e2e_fail "tirsctl info printed \"$info\""
e2e_start_x
e2e_start_panel
[[ $(window_title) == *" на COM2"* ]] || e2e_fail "the window title is \"$(window_title)\""
identified() { grep -q ' - 3 -$' "$E2E_DIR/requests.log" && grep -q ' - 24 -$' "$E2E_DIR/requests.log"; }
e2e_wait 20 "the identification and the automatic reads" identified ||
  e2e_fail "the installed program does not talk to its simulator"
press_keys alt+x
gone() { ! kill -0 "$panel_pid" 2>/dev/null; }
e2e_wait 20 "the program to end" gone || e2e_fail "the program did not end on Alt+X"
[ -f "$E2E_DIR/tirspanel.ini" ] || e2e_fail "no settings file beside the installed program"
echo "PASS"
