# shellcheck shell=bash
# Sourced by the scripts that drive Quillet on a virtual screen: a work folder
# and the processes started, both cleaned up on exit; a free X display with
# Xvfb on it; a free port with the demo site on it.

# Exits 77 (skipped) unless every named tool is installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on the first free display from FIRST to LAST (scripts that may
# run at the same time take ranges of their own) and waits until it answers.
# Sets `display`.
start_xvfb() {
  local n
  display=""
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  [ -n "$display" ] || { echo "no free X display"; exit 1; }
  # -noreset: by default Xvfb resets itself whenever its last client leaves,
  # and a window search that connects during the reset is refused.
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  local _
  for _ in $(seq 1 100); do
    xwininfo -display "$display" -root >/dev/null 2>&1 && return
    sleep 0.1
  done
}

# Starts the demo site DEMO_SITE on a free port with the further options given
# and waits until it listens. Sets `port`.
start_demo_site() {
  local site="$1"
  shift
  port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  "$site" --port "$port" "$@" >"$work/site.log" 2>&1 &
  pids+=($!)
  local _
  for _ in $(seq 1 100); do
    grep -q listening "$work/site.log" && return
    sleep 0.1
  done
}
