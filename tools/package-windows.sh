#!/usr/bin/env bash
# Packs the Windows folder: tirspanel-VERSION.msi (wixl, from
# packaging/tirspanel.wxs) and tirspanel-VERSION-windows.zip (the folder
# "tirspanel" as it is installed), both into OUT.
# Usage: tools/package-windows.sh DIST-DIR VERSION OUT-DIR
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dist=$(realpath "$1")
version=$2
out=$(realpath "$3")

stage=$(mktemp -d /tmp/tirs-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/tirspanel"
cp "$dist/tirspanel.exe" "$dist/serlink.dll" "$dist/tirsctl.exe" "$stage/tirspanel/"

# wixl takes the files by names relative to the folder it runs in.
msi=$out/tirspanel-$version.msi
cp packaging/tirspanel.ico "$stage/tirspanel/"
(cd "$stage/tirspanel" && wixl -a x64 -D Version="$version" -o "$msi" "$root/packaging/tirspanel.wxs")
rm "$stage/tirspanel/tirspanel.ico"

zip=$out/tirspanel-$version-windows.zip
rm -f "$zip"
(cd "$stage" && zip -q -r -X "$zip" tirspanel)
ls -l "$msi" "$zip"
