#!/usr/bin/env bash
# Builds the program and the simulator, starts the simulated actuator line
# (two actuators, linked as COM2 beside the program) and the program on it.
# Stopping the program stops the simulator. Without a display the program
# runs under Xvfb and a screenshot is saved instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target tirspanel tirssim serlink
bin="$build/bin"

"$bin/tirssim" --port COM2 >/dev/null &
sim=$!
xvfb=
cleanup() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$bin/ports/COM2" ] && break; sleep 0.1; done

if [ -n "${DISPLAY:-}" ]; then
  "$bin/tirspanel"
else
  shot=${SCREENSHOT:-$PWD/tirspanel-demo.png}
  echo "No display: running the program under Xvfb for 10 seconds; screenshot: $shot"
  Xvfb :87 -screen 0 1024x768x24 -nolisten tcp &
  xvfb=$!
  sleep 1
  DISPLAY=:87 "$bin/tirspanel" &
  panel=$!
  sleep 8
  DISPLAY=:87 import -window root "$shot" || true
  kill "$panel" 2>/dev/null || true
  wait "$panel" 2>/dev/null || true
fi
