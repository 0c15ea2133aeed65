# shellcheck shell=bash
# The MSI under Wine, sourced by tools/wine-tests.sh after the window test
# (which sourced tests/e2e/lib.sh): a quiet per-user install into
# %LOCALAPPDATA%\Programs\tirspanel with its Start-menu shortcut and
# uninstall entry; the installed program starts and writes its settings and
# journal beside itself; an upgrade to a newer version replaces the program
# in place and keeps them; the uninstall removes the program files and keeps
# them too.
# Needs: work, build, root.

wine_installer_test() {
  trap e2e_cleanup EXIT
  E2E_DIR=$work/installer
  UI_DIR=$root/panel/ui
  mkdir -p "$E2E_DIR"
  local version msi newer installed shortcuts
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  msi=$build/tirspanel-$version.msi
  [ -e "$msi" ] || { echo "no $msi" >&2; return 1; }
  local user
  user=$(id -un)
  installed=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/tirspanel
  shortcuts=$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs

  timeout 300 wine msiexec /i "$(winepath -w "$msi")" /qn || { echo "msiexec /i failed" >&2; return 1; }
  for f in tirspanel.exe serlink.dll tirsctl.exe; do
    [ -e "$installed/$f" ] || { echo "not installed: $installed/$f" >&2; return 1; }
  done
  ls "$shortcuts"/*.lnk >/dev/null 2>&1 || { echo "no Start-menu shortcut in $shortcuts" >&2; return 1; }
  uninstall_entry() {
    local hive
    for hive in HKCU HKLM; do
      wine reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null |
        tr -d '\r' | grep -q 'DisplayName.*tirspanel' && return 0
    done
    return 1
  }
  uninstall_entry || { echo "no uninstall entry named tirspanel" >&2; return 1; }

  # The installed program starts from its folder and, ending, leaves its
  # settings file there; the journal is the operator's too.
  (cd "$installed" && exec wine tirspanel.exe) >"$E2E_DIR/tirspanel.out" 2>&1 &
  panel_pid=$!
  e2e_pids+=("$panel_pid")
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'Программа управления приводом' | head -1) || true
  [ -n "$wid" ] || { echo "the installed program showed no window" >&2; return 1; }
  sleep 2
  press_keys alt+x
  e2e_wait 30 "the installed program to end" bash -c "! kill -0 $panel_pid 2>/dev/null" || return 1
  [ -e "$installed/tirspanel.ini" ] || { echo "no tirspanel.ini beside the installed program" >&2; return 1; }
  echo 'time;port;address;type;action;values;result' >"$installed/tirspanel-journal.csv"
  cp "$installed/tirspanel.ini" "$E2E_DIR/settings.before"

  # A newer version over it: in place, settings and journal kept.
  newer=$E2E_DIR/newer
  mkdir -p "$newer"
  "$root/tools/package-windows.sh" "$build/dist" "$version.1" "$newer" >/dev/null
  timeout 300 wine msiexec /i "$(winepath -w "$newer/tirspanel-$version.1.msi")" /qn ||
    { echo "the upgrade failed" >&2; return 1; }
  [ -e "$installed/tirspanel.exe" ] || { echo "the upgrade left no program" >&2; return 1; }
  cmp -s "$installed/tirspanel.ini" "$E2E_DIR/settings.before" ||
    { echo "the upgrade changed the settings file" >&2; return 1; }
  [ -s "$installed/tirspanel-journal.csv" ] || { echo "the upgrade lost the journal" >&2; return 1; }
  local products
  products=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | grep -c 'DisplayName.*tirspanel' || true)
  products=$((products + $(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | grep -c 'DisplayName.*tirspanel' || true)))
  [ "$products" = 1 ] || { echo "$products uninstall entries after the upgrade, not 1" >&2; return 1; }

  timeout 300 wine msiexec /x "$(winepath -w "$newer/tirspanel-$version.1.msi")" /qn ||
    { echo "msiexec /x failed" >&2; return 1; }
  for f in tirspanel.exe serlink.dll tirsctl.exe; do
    [ ! -e "$installed/$f" ] || { echo "left after the uninstall: $f" >&2; return 1; }
  done
  ! ls "$shortcuts"/*.lnk >/dev/null 2>&1 || { echo "the shortcut is left after the uninstall" >&2; return 1; }
  [ -e "$installed/tirspanel.ini" ] && [ -e "$installed/tirspanel-journal.csv" ] ||
    { echo "the uninstall removed the settings or the journal" >&2; return 1; }
}
