#!/usr/bin/env bash
# The package as a controller developer meets it: builds it, unpacks it,
# checks that the library is stripped with its debug file beside it, compiles
# the tiny controller against nothing but the package's header and import
# library, and runs it under Wine with the packaged library.
# Usage: check-package.sh <windows build tree>   (WINEPREFIX set, as under CTest)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tree=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

zip=$(BUILD_DIR=$(dirname "$tree") DIST_DIR=$work/dist "$top/scripts/package.sh")
(cd "$work" && cmake -E tar xf "$zip")
pkg=$(echo "$work"/gatrel-*-win32)
fail() { echo "package: $*" >&2; exit 1; }

for f in bin/Gatrel.dll bin/Gatrel.dll.debug include/gatrel_interface.h lib/libGatrel.dll.a \
         README.md standins/zelctl.exe standins/ZELDaemon.exe standins/ZELShowMsgBox.dll \
         standins/ZELOfficeCtrl.dll standins/screentools/ScreenCapture.exe; do
  [ -f "$pkg/$f" ] || fail "missing $f"
done
sections=$(i686-w64-mingw32-objdump -h "$pkg/bin/Gatrel.dll")
if grep -q '\.debug_' <<<"$sections"; then fail "Gatrel.dll still holds debug sections"; fi
grep -q '\.gnu_debuglink' <<<"$sections" || fail "Gatrel.dll names no debug file"
i686-w64-mingw32-objdump -h "$pkg/bin/Gatrel.dll.debug" | grep -q '\.debug_info' ||
  fail "Gatrel.dll.debug holds no debug information"

# Only the package: its header folder and its import library.
i686-w64-mingw32-g++-posix -std=c++20 -Wall -Werror -I "$pkg/include" \
  "$top/companions/package/tiny_controller.cpp" "$pkg/lib/libGatrel.dll.a" -static \
  -o "$pkg/bin/tiny_controller.exe"
out=$("$top/scripts/wine-run.sh" "$pkg/bin/tiny_controller.exe") || fail "tiny controller failed: $out"
echo "$out"
grep -q "read back whole" <<<"$out" || fail "record not read back"
echo "package: $(basename "$zip") checked"
