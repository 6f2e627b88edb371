#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's private prefix.
# CTest uses this as the emulator of every Windows test.
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the build tree}"
export WINEPREFIX
exec wine "$@"
