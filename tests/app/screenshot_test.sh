#!/usr/bin/env bash
# Starts Quillet against the demo site on a virtual screen (Xvfb), takes a
# screenshot of its main window and checks that the window was really drawn:
# its size, and enough distinct colours for text and controls to be there.
# Then closes the window as a user would and checks that the program ends.
# Usage: screenshot_test.sh QUILLET DEMO_SITE OUTPUT_PNG
set -euo pipefail
quillet="$1" demo_site="$2" output="$3"

# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb import convert identify xwininfo
start_xvfb 91 140
# Every page of the site keeps loading for a minute, so start-up is still
# waiting for the browser when the window is closed below.
start_demo_site "$demo_site" --stall-rate 1 --stall-ms 60000

DISPLAY="$display" QUILLET_TIME_SCALE=0.05 QT_QPA_PLATFORM=xcb \
  "$quillet" --site "http://127.0.0.1:$port" --data-dir "$work/data" >"$work/quillet.log" 2>&1 &
quillet_pid=$!
pids+=($quillet_pid)

window=""
for _ in $(seq 1 300); do
  window=$(xwininfo -display "$display" -root -tree 2>/dev/null |
           awk '/"Quillet"/ && /702x437/ {print $1; exit}') || true
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear"; cat "$work/quillet.log"; exit 1; }
sleep 2  # let the page load and the window settle
import -display "$display" -window "$window" "$output"

size=$(identify -format '%wx%h' "$output")
colours=$(convert "$output" -format '%k' info:)
echo "screenshot $output: $size, $colours colours"
[ "$size" = "702x437" ] || { echo "unexpected window size $size"; exit 1; }
[ "$colours" -ge 16 ] || { echo "the window looks blank"; exit 1; }

# Closing the window ends the process at once and without a question, even
# inside a wait.
if /usr/bin/python3 -c 'import Xlib' 2>/dev/null; then
  DISPLAY="$display" /usr/bin/python3 "$(dirname "$0")/close_window.py" "$window"
  for _ in $(seq 1 50); do
    kill -0 "$quillet_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$quillet_pid" 2>/dev/null; then
    echo "the program is still running 5 s after its window was closed"
    exit 1
  fi
  wait "$quillet_pid" || { echo "the program ended with status $?"; exit 1; }
  echo "closing the window ended the program"
else
  echo "python3-xlib is missing: closing the window was not tried"
fi
echo "1 passed, 0 failed"
