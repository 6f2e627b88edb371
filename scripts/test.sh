#!/usr/bin/env bash
# The test command: sets up the machine (as root), builds both trees, prepares
# the Wine world, runs every test, and stops everything it started.
#   GATREL_FAST=1   the demo runs in its fast mode (set by default here)
#   BUILD_DIR       parent folder of build/win and build/native
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$top/build}
export GATREL_FAST=${GATREL_FAST:-1}

if [ "$(id -u)" = 0 ]; then "$top/scripts/setup-packages.sh"; fi
"$top/scripts/build.sh"
"$top/scripts/wine-world.sh" "$out/win"

source "$top/scripts/session.sh"
session_start "$out/win"
trap session_stop EXIT

status=0
ctest --test-dir "$out/native" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$out/win" --output-on-failure -j "${TEST_JOBS:-2}" || status=1
exit $status
