#!/usr/bin/env bash
# Drives Quillet on a virtual screen (Xvfb) as a user would: signs in to the
# demo site through the login page, imports an address file through the open
# dialog and starts a share pass. Once the site has recorded a share, the
# window is closed as a window manager does it (WM_DELETE_WINDOW), and the
# program must end at once, with status 0, and share nothing more.
# Usage: close_during_share_test.sh QUILLET DEMO_SITE
set -euo pipefail
quillet="$1" demo_site="$2"
here="$(cd "$(dirname "$0")" && pwd)"

# shellcheck source=xvfb_session.sh
. "$here/xvfb_session.sh"
require_tools Xvfb xdotool xwininfo
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is not installed"; exit 77; }
start_xvfb 141 190
export DISPLAY="$display"
start_demo_site "$demo_site" --fixed-captcha 7139

shares() {
  /usr/bin/python3 - "$port" <<'EOF'
import json, sys, urllib.request
with urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/demo/shares", timeout=5) as r:
    print(len(json.load(r)))
EOF
}

# A top-level window of the program by title and size; empty when there is none.
find_window() {
  xwininfo -root -tree 2>/dev/null | awk -v title="\"$1\":" -v size="$2" \
    '$2 == title && index($0, size) {print $1; exit}'
}
wait_for_window() {
  local found=""
  for _ in $(seq 1 300); do
    found=$(find_window "$1" "$2")
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

# Clicks at a point of a window (coordinates from the window's own layout).
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

for i in $(seq 1 300); do echo "http://127.0.0.1:$port/item/$i"; done >"$work/items.txt"

QUILLET_TIME_SCALE=0.05 QT_QPA_PLATFORM=xcb \
  "$quillet" --site "http://127.0.0.1:$port" --data-dir "$work/data" >"$work/quillet.log" 2>&1 &
quillet_pid=$!
pids+=($quillet_pid)

window=$(wait_for_window Quillet 702x437)
[ -n "$window" ] || { echo "the main window did not appear"; cat "$work/quillet.log"; exit 1; }
sleep 3  # start-up signs out and opens the login page in the hidden browser

# Sign in: user name, password, captcha, then the login button.
click "$window" 290 272 && xdotool type --delay 20 demo
click "$window" 290 305 && xdotool type --delay 20 demo123
click "$window" 246 345 && xdotool type --delay 20 7139
click "$window" 445 310
sleep 2

# Publish page: period, import through the open dialog, start the pass.
click "$window" 208 331 && xdotool type --delay 20 21
click "$window" 115 267
# Qt's own dialogs speak Chinese: the open dialog is titled 打开.
dialog=$(wait_for_window 打开 600x412)
[ -n "$dialog" ] || { echo "the open dialog did not appear (was the sign-in refused?)"; exit 1; }
click "$dialog" 300 358 && xdotool type --delay 5 "$work/items.txt" && xdotool key Return
sleep 1.5
click "$window" 292 267

count=0
for _ in $(seq 1 600); do
  count=$(shares)
  [ "$count" -ge 1 ] && break
  sleep 0.1
done
[ "$count" -ge 1 ] || { echo "the share pass did not start"; exit 1; }
echo "the pass is running ($count shared); closing the window"

/usr/bin/python3 "$here/close_window.py" "$window"
for _ in $(seq 1 50); do
  kill -0 "$quillet_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$quillet_pid" 2>/dev/null; then
  echo "the program is still running 5 s after its window was closed during a share pass"
  exit 1
fi
status=0
wait "$quillet_pid" || status=$?
[ "$status" -eq 0 ] || { echo "the program ended with status $status"; exit 1; }
closed_at=$(shares)
[ "$closed_at" -lt 300 ] || { echo "the pass had already ended before the close"; exit 1; }
sleep 3
[ "$(shares)" -eq "$closed_at" ] || { echo "shares went on after the program ended"; exit 1; }
echo "closing the window during a share pass ended the program ($closed_at shared)"
echo "1 passed, 0 failed"
