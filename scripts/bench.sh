#!/usr/bin/env bash
# Builds everything and runs every benchmark program under Wine; prints ratios.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$top/build}
"$top/scripts/build.sh" >/dev/null
"$top/scripts/wine-world.sh" "$out/win"
source "$top/scripts/session.sh"
session_start "$out/win"
trap session_stop EXIT
# Under Wine every window-manager call is a round trip to wineserver; its cost
# doubles or quadruples when Linux puts the server on another processor than
# the program. The server and the programs share processor 0 for the run.
for p in $(pgrep -f "wineserver" || true); do taskset -p -c 0 "$p" >/dev/null 2>&1 || true; done
for b in "$out"/win/bin/*_bench.exe; do
  echo "== $(basename "$b" .exe)"
  GATREL_BIN="$out/win/bin" GATREL_ROOT="$out/win/zelroot" taskset -c 0 wine "$b"
done
