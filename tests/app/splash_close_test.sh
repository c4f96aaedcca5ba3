#!/usr/bin/env bash
# Starts Quillet on a virtual screen (Xvfb) with full-length designed waits and
# closes its loading window early, once with a window manager's close
# (WM_DELETE_WINDOW) and once with Esc: the main window must appear all the
# same, and closing it then ends the program.
# Usage: splash_close_test.sh QUILLET DEMO_SITE
set -euo pipefail
quillet="$1" demo_site="$2"
here="$(cd "$(dirname "$0")" && pwd)"

# shellcheck source=xvfb_session.sh
. "$here/xvfb_session.sh"
require_tools Xvfb xdotool xwininfo
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is not installed"; exit 77; }
start_xvfb 191 240
export DISPLAY="$display"
start_demo_site "$demo_site"

# A shown top-level window of the given size; empty when there is none.
find_window() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk -v size="$1" 'index($0, " " size "+") {print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return
    fi
  done
}
wait_for_window() {
  local found=""
  for _ in $(seq 1 "$2"); do
    found=$(find_window "$1")
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

failures=0
for how in close escape; do
  # Full-length ticks: the loading window stays for 101 x 66 ms.
  QUILLET_TIME_SCALE=1 QT_QPA_PLATFORM=xcb \
    "$quillet" --site "http://127.0.0.1:$port" --data-dir "$work/data-$how" \
    >"$work/quillet-$how.log" 2>&1 &
  quillet_pid=$!
  pids+=($quillet_pid)

  splash=$(wait_for_window 457x32 300)
  if [ -z "$splash" ]; then
    echo "$how: the loading window did not appear; the program said:"
    cat "$work/quillet-$how.log"
    exit 1
  fi
  if [ "$how" = close ]; then
    /usr/bin/python3 "$here/close_window.py" "$splash"
  else
    # With no window manager the keyboard follows the pointer.
    xdotool mousemove --window "$splash" 200 10
    sleep 0.3
    xdotool key Escape
  fi

  # The loading window goes at once, long before its last tick would come.
  for _ in $(seq 1 10); do
    [ -z "$(find_window 457x32)" ] && break
    sleep 0.1
  done
  if [ -n "$(find_window 457x32)" ]; then
    echo "$how: the loading window did not close"
    exit 1
  fi

  # Without the fix the main window never comes; give it far longer than the
  # loading window itself would have taken.
  window=$(wait_for_window 702x437 200)
  if [ -z "$window" ]; then
    echo "$how: the main window was not shown after the loading window was closed"
    failures=$((failures + 1))
    kill "$quillet_pid" 2>/dev/null || true
    wait "$quillet_pid" 2>/dev/null || true
    continue
  fi
  /usr/bin/python3 "$here/close_window.py" "$window"
  for _ in $(seq 1 50); do
    kill -0 "$quillet_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$quillet_pid" 2>/dev/null; then
    echo "$how: the program did not end when its main window was closed"
    failures=$((failures + 1))
    continue
  fi
  echo "$how: the main window was shown, and closing it ended the program"
done
echo "$((2 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
