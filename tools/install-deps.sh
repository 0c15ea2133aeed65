#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demonstration
# run need, when they are missing. Uses sudo when not run as root.
# Usage: tools/install-deps.sh [--windows]
#   --windows: what the Windows build and its Wine tests need instead
#   (tools/build-windows.sh).
#   --windows-qt: what the one-time Qt build for Windows needs
#   (tools/build-qt-windows.sh).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libmosquitto-dev mosquitto mosquitto-clients libmodbus-dev python3-pymodbus python3-serial-asyncio
  xvfb xdotool x11-utils imagemagick fonts-dejavu-core
)
if [ "${1:-}" = --windows ]; then
  packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    googletest wine wine64 fonts-wine util-linux
    qt6-translations-l10n wixl msitools zip
    xvfb xdotool x11-utils imagemagick fonts-dejavu-core
  )
elif [ "${1:-}" = --windows-qt ]; then
  packages=(
    cmake ninja-build perl dpkg-dev xz-utils
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    qt6-base-dev qt6-base-dev-tools
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
