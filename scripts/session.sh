# Sourced: starts and stops what a test or demo run needs around one Windows
# build tree: an Xvfb display (unless DISPLAY is set) and a warm wineserver for
# the tree's prefix. session_stop ends exactly what session_start started.
_gatrel_xvfb_pid=
_gatrel_prefix=

session_start() {
  local tree
  tree=$(cd "$1" && pwd)
  _gatrel_prefix=$tree/wineprefix
  export WINEPREFIX=$_gatrel_prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    _gatrel_xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  wineserver -p
  # The first Wine process starts the prefix's services; start them here with
  # their output detached, or they would hold every test's output pipe open.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

session_stop() {
  if [ -n "$_gatrel_prefix" ]; then
    WINEPREFIX=$_gatrel_prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$_gatrel_prefix wineserver -w 2>/dev/null || true
  fi
  if [ -n "$_gatrel_xvfb_pid" ]; then
    kill "$_gatrel_xvfb_pid" 2>/dev/null || true
    wait "$_gatrel_xvfb_pid" 2>/dev/null || true
    unset DISPLAY
    _gatrel_xvfb_pid=
  fi
  _gatrel_prefix=
}
