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
for b in "$out"/win/bin/*_bench.exe; do
  echo "== $(basename "$b" .exe)"
  GATREL_BIN="$out/win/bin" GATREL_ROOT="$out/win/zelroot" wine "$b"
done
