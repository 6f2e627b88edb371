#!/usr/bin/env bash
# The demo: sets the machine up (as root), builds, prepares the Wine world and
# shows the library at work on an Xvfb desktop. GATREL_FAST=1 skips the pauses.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$top/build}
if [ "$(id -u)" = 0 ]; then "$top/scripts/setup-packages.sh"; fi
"$top/scripts/build.sh" >/dev/null
"$top/scripts/wine-world.sh" "$out/win"
source "$top/scripts/session.sh"
session_start "$out/win"
trap session_stop EXIT
GATREL_BIN="$out/win/bin" GATREL_ROOT="$out/win/zelroot" wine "$out/win/bin/gatrel_demo.exe"
