#!/usr/bin/env bash
# Builds the package for controller developers:
#   dist/gatrel-<version>-win32.zip
# with the library and its debug file, the controller's header and import
# library, zelctl and the other stand-ins, and the integrator's guide
# (companions/package/README.md). Builds the Windows tree first if needed.
#   BUILD_DIR   parent folder of build/win (default: build)
#   DIST_DIR    where the zip goes (default: dist)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$top/build}
dist=${DIST_DIR:-$top/dist}
if [ ! -f "$out/win/build.ninja" ]; then "$top/scripts/build.sh" >/dev/null; fi
cmake --build "$out/win" >/dev/null
version=$(cat "$out/win/gatrel_version.txt")
name=gatrel-$version-win32
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$out/win" --prefix "$stage/$name" >/dev/null
# The stand-ins ship without their debug information.
find "$stage/$name/standins" -type f -name "*.exe" -o -type f -name "*.dll" |
  while read -r f; do i686-w64-mingw32-strip --strip-debug "$f"; done
mkdir -p "$dist"
rm -f "$dist/$name.zip"
(cd "$stage" && cmake -E tar cf "$dist/$name.zip" --format=zip "$name")
echo "$dist/$name.zip"
