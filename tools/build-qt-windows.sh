#!/usr/bin/env bash
# Builds, once, a static Qt for 64-bit Windows from Debian's own Qt sources
# (Debian ships no Qt for mingw-w64) and prints the folder it lies in.
#
# The folder is a cache outside the clone, reused by every later build:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tirspanel/qt-6.4.2-mingw-<hash of the options>
# Only what the window needs is built: Core, Gui, Widgets, Charts (when the
# mirror serves its source), the windows
# platform plugin and its style. Debian's host Qt (same version) gives moc,
# uic and rcc. The build goes into a temporary folder that is renamed only
# when everything is installed, so a half-built cache is never used.
# The first build takes about 16 minutes on 2 cores (see the README).
#
# Usage: tools/build-qt-windows.sh        (prints the Qt folder on the last line)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=6.4.2

qtbase_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DFEATURE_static_runtime=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_testlib=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_zstd=OFF -DFEATURE_openssl=OFF
  -DFEATURE_opengl_dynamic=ON
)
charts_options=(-DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)

hash=$(printf '%s\n' "$version" "${qtbase_options[@]}" "${charts_options[@]}" \
  "$(cat cmake/mingw-w64-x86_64.cmake)" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tirspanel
qt=$cache/qt-$version-mingw-$hash
if [ -f "$qt/bin/qt-cmake" ]; then
  echo "$qt"
  exit 0
fi

echo "Building a static Qt $version for Windows into $qt" >&2
echo "(once; about 16 minutes on 2 cores)" >&2
started=$(date +%s)
tools/install-deps.sh --windows-qt

# apt-get source needs a deb-src entry for the machine's own mirror.
if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  list=/etc/apt/sources.list.d/tirspanel-deb-src.sources
  echo "Adding the source entries of the machine's Debian mirror: $list" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee "$list" >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      "${sudo_cmd[@]}" tee "${list%.sources}.list" >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/.qt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/install
(cd "$work" && apt-get source -qq qt6-base >"$work/source.log" 2>&1) ||
  { cat "$work/source.log" >&2; exit 1; }
qtbase_src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
# Qt Charts is built when the mirror serves its source; without it the
# window is built without the trends window (its CMake says so).
charts_src=
if (cd "$work" && apt-get source -qq qt6-charts >"$work/charts-source.log" 2>&1); then
  charts_src=$(find "$work" -maxdepth 1 -type d -name 'qt6-charts-*' | head -1)
else
  echo "The mirror does not serve Qt Charts' source; Qt is built without it:" >&2
  grep -E '^E:' "$work/charts-source.log" | head -2 >&2 || true
fi

toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
cmake -S "$qtbase_src" -B "$work/qtbase" -G Ninja "${toolchain[@]}" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${qtbase_options[@]}" >"$work/qtbase-configure.log"
cmake --build "$work/qtbase" -j2 >"$work/qtbase-build.log" ||
  { tail -40 "$work/qtbase-build.log" >&2; exit 1; }
cmake --install "$work/qtbase" >/dev/null

if [ -n "$charts_src" ]; then
  "$prefix/bin/qt-cmake" -S "$charts_src" -B "$work/charts" -G Ninja \
    "${charts_options[@]}" >"$work/charts-configure.log"
  cmake --build "$work/charts" -j2 >"$work/charts-build.log" ||
    { tail -40 "$work/charts-build.log" >&2; exit 1; }
  cmake --install "$work/charts" >/dev/null
fi

# Qt's own paths inside the installed files point at the temporary prefix.
grep -rlsIF "$prefix" "$prefix" | while read -r file; do
  sed -i "s|$prefix|$qt|g" "$file"
done
mv "$prefix" "$qt"
echo "Qt built in $((($(date +%s) - started) / 60)) min" >&2
echo "$qt"
