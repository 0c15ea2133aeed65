#!/usr/bin/env bash
# Cross-builds the Windows folder with Debian's mingw-w64: serlink.dll (the
# fourteen functions by their undecorated names) and the programs over it,
# with the C++ runtime linked in, so that the folder runs on a bare Windows.
# Leaves them in BUILD/dist/. With --test, also runs the Windows tests under
# Wine against a simulated line (tools/wine-tests.sh).
# Usage: tools/build-windows.sh [--test] [build-dir]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

test=0
build=build-windows
for arg in "$@"; do
  case $arg in
    --test) test=1 ;;
    -*) echo "usage: $0 [--test] [build-dir]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done

tools/install-deps.sh --windows
objdump=x86_64-w64-mingw32-objdump
wine_tests=OFF
[ $test = 1 ] && wine_tests=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTIRS_LIBRARY_ONLY=ON -DTIRS_BUILD_WINE_TESTS=$wine_tests
cmake --build "$build" -j2

rm -rf "$build/dist"
cmake --install "$build" --prefix "$build/dist"
cmake -DLIBRARY="$build/dist/serlink.dll" -DOBJDUMP=$objdump -P serlink/tests/check_exports.cmake

# A bare Windows has its system DLLs and nothing else: every other DLL that
# a binary of the folder imports must lie in the folder.
system_dlls='^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32|ole32)\.dll$'
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

if [ $test = 1 ]; then
  tools/wine-tests.sh "$build"
fi
