#!/usr/bin/env bash
# Cross-builds the Windows folder with Debian's mingw-w64: serlink.dll (the
# fourteen functions by their undecorated names) and the programs over it,
# with the C++ runtime linked in, so that the folder runs on a bare Windows:
# tirspanel.exe with Qt linked in (the static Qt of tools/build-qt-windows.sh,
# built once into a cache), tirsctl.exe, serlink.dll. Leaves them in
# BUILD/dist/. With --test, also runs the Windows tests under Wine against a
# simulated line (tools/wine-tests.sh). --no-window builds the library and
# tirsctl.exe only, without Qt.
# Usage: tools/build-windows.sh [--test] [--no-window] [build-dir]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

test=0
window=1
build=build-windows
for arg in "$@"; do
  case $arg in
    --test) test=1 ;;
    --no-window) window=0 ;;
    -*) echo "usage: $0 [--test] [--no-window] [build-dir]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done

tools/install-deps.sh --windows
objdump=x86_64-w64-mingw32-objdump
wine_tests=OFF
[ $test = 1 ] && wine_tests=ON
if [ $window = 1 ]; then
  # Qt's toolchain file leads to the mingw-w64 one and finds the static Qt;
  # the host's Qt gives moc, uic and rcc.
  qt=$(tools/build-qt-windows.sh | tail -n 1)
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DTIRS_LIBRARY_ONLY=OFF -DTIRS_BUILD_UI=ON \
    -DTIRS_BUILD_WINE_TESTS=$wine_tests
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTIRS_LIBRARY_ONLY=ON -DTIRS_BUILD_UI=OFF \
    -DTIRS_BUILD_WINE_TESTS=$wine_tests
fi
cmake --build "$build" -j2

rm -rf "$build/dist"
cmake --install "$build" --prefix "$build/dist"
cmake -DLIBRARY="$build/dist/serlink.dll" -DOBJDUMP=$objdump -P serlink/tests/check_exports.cmake

# A bare Windows (10 or later, as Qt 6 needs) has its system DLLs and API
# sets and nothing else: every other DLL that a binary of the folder imports
# must lie in the folder.
system_dlls='^(api-ms-win-[a-z0-9-]+|shcore|kernel32|msvcrt|user32|advapi32|shell32|ws2_32|ole32|gdi32|comdlg32|imm32|oleaut32|setupapi|shlwapi|uxtheme|dwmapi|version|winmm|wtsapi32|netapi32|userenv|uuid|winspool|d3d9|dxgi|d3d11|d2d1|dwrite|mpr|authz|cfgmgr32|opengl32)\.dll$'
for binary in "$build"/dist/*.dll "$build"/dist/*.exe; do
  [ -e "$binary" ] || continue
  for dll in $($objdump -p "$binary" | sed -n 's/^\tDLL Name: //p'); do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    if ! [[ $lower =~ $system_dlls ]] && [ ! -e "$build/dist/$dll" ]; then
      echo "$(basename "$binary") needs $dll, which is not in the folder" >&2
      exit 1
    fi
  done
done
echo "Windows folder: $build/dist/"
ls -l "$build/dist"

# What a Windows user downloads: the MSI (a per-user install into
# %LOCALAPPDATA%\Programs\tirspanel) and a portable zip of the same folder.
if [ -e "$build/dist/tirspanel.exe" ]; then
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  tools/package-windows.sh "$build/dist" "$version" "$build"
fi

if [ $test = 1 ]; then
  tools/wine-tests.sh "$build"
fi
