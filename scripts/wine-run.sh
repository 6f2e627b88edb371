#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's private prefix.
# CTest uses this as the emulator of every Windows test.
#
# Under Wine every process inherits the standard error of the process that
# started it, and a process a test starts may outlive the test (the daemon,
# which a protected application starts whenever it is gone). CTest waits until
# nobody holds a test's output, so the program's standard error goes to a file
# that is copied out once the program has ended.
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the build tree}"
export WINEPREFIX
err=$(mktemp)
wine "$@" 2>"$err"
status=$?
cat "$err" >&2
rm -f "$err"
exit $status
