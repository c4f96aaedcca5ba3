#!/usr/bin/env bash
# Pictures of the journal at work, on a virtual screen (Xvfb): a pass on the
# demo site is interrupted for real (journal_child kills itself right after
# the confirm of row 4 was clicked), then Quillet starts on that data folder.
#  1. OUT_DIR/journal-restored.png: the restored list after start-up, with
#     "成功", "失败" and "未确认" rows and the interrupted-pass status text.
#  2. OUT_DIR/journal-menu.png: the list's context menu during that session.
# Usage: journal_screenshots.sh QUILLET DEMO_SITE JOURNAL_CHILD OUT_DIR
set -euo pipefail
quillet="$1" demo_site="$2" child="$3" out="$4"
# shellcheck source=../tests/app/xvfb_session.sh
. "$(dirname "$0")/../tests/app/xvfb_session.sh"
require_tools Xvfb import convert xwininfo xdotool
mkdir -p "$out"
start_xvfb 141 190
start_demo_site "$demo_site" --fixed-captcha 7139 --fail-item 502

# Six items, the second one fails on the site; killed after row 4's confirm.
base="http://127.0.0.1:$port"
for id in 36 35 34 33 502 31; do echo "$base/item/$id"; done >"$work/addresses.txt"
export QTWEBENGINE_DISABLE_SANDBOX=1
# (In a subshell of its own, so that the shell does not report the kill.)
(QT_QPA_PLATFORM=offscreen QUILLET_TIME_SCALE=0.1 \
  "$child" --site "$base" --data-dir "$work/data" --import "$work/addresses.txt" \
  --kill-at confirm:3 >"$work/child.log" 2>&1 || true) 2>/dev/null
grep -q "killed at confirm:3" "$work/child.log" || { cat "$work/child.log"; exit 1; }

DISPLAY="$display" QUILLET_TIME_SCALE=0.05 QT_QPA_PLATFORM=xcb \
  "$quillet" --site "$base" --data-dir "$work/data" >"$work/quillet.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 1 300); do
  window=$(xwininfo -display "$display" -root -tree 2>/dev/null |
           awk '/"Quillet"/ && /702x437/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear"; cat "$work/quillet.log"; exit 1; }
sleep 3
import -display "$display" -window "$window" "$out/journal-restored.png"

# Select row 2 and open the menu on it (the list's rows start below its header).
geometry=$(xwininfo -display "$display" -id "$window" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
read -r wx wy <<<"$geometry"
DISPLAY="$display" xdotool mousemove $((wx + 120)) $((wy + 62)) click 1
sleep 0.5
DISPLAY="$display" xdotool mousemove $((wx + 120)) $((wy + 62)) click 3
sleep 1
import -display "$display" -window root -crop 702x437+"$wx"+"$wy" \
  +repage "$out/journal-menu.png"
echo "wrote $out/journal-restored.png and $out/journal-menu.png"
