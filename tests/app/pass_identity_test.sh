#!/usr/bin/env bash
# Drives Quillet on a virtual screen (Xvfb) as a user would, against the demo
# site, and counts the shares by the site's own record:
# 1. 发表, 停止 (Ctrl+.) after some shares, 导入地址 of a second file (its lines
#    go on top), 发表: the stopped pass goes on with its own rows. Every item
#    of the first file is shared exactly once; the second file's rows are left
#    for the next 发表.
# 2. A pass with its own period and comments, the process killed during it,
#    the window's remembered settings gone: started again, signed in, and
#    发表 pressed without typing a period, the interrupted pass goes on with
#    its own settings, and every item is shared exactly once, each with a
#    comment. Screenshots of the restored window go to SHOT and, signed in,
#    to SHOT with -signed-in before its .png.
# Usage: pass_identity_test.sh QUILLET DEMO_SITE SHOT
set -euo pipefail
quillet="$1" demo_site="$2" shot="$3"
here="$(cd "$(dirname "$0")" && pwd)"

# shellcheck source=xvfb_session.sh
. "$here/xvfb_session.sh"
require_tools Xvfb xdotool xwininfo import
start_xvfb 241 290
export DISPLAY="$display"
start_demo_site "$demo_site" --fixed-captcha 7139

# The site's record of shares made: "ITEM COMMENT" a line.
share_lines() {
  /usr/bin/python3 - "$port" <<'EOF'
import json, sys, urllib.request
with urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/demo/shares", timeout=5) as r:
    for s in json.load(r):
        if s["ok"]:
            print(s["item"], s["comment"] or "-")
EOF
}
shares() { share_lines | wc -l; }
reset_shares() {
  /usr/bin/python3 -c "import urllib.request,sys; urllib.request.urlopen(urllib.request.Request('http://127.0.0.1:$port/demo/reset', data=b''), timeout=5)"
}

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
# The main window; its title carries the progress while a pass runs.
main_window() {
  xwininfo -root -tree 2>/dev/null | awk '$2 ~ /^"Quillet/ && index($0, "702x437") {print $1; exit}'
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

# Waits until the site holds at least N shares; fails after LIMIT seconds.
wait_for_shares() {
  local n="$1" limit="$2" count=0
  for _ in $(seq 1 $((limit * 10))); do
    count=$(shares)
    [ "$count" -ge "$n" ] && return 0
    sleep 0.1
  done
  echo "the site holds $count shares after ${limit}s, $n expected"
  return 1
}
# Waits until the number of shares has not changed for SECONDS.
wait_until_still() {
  local seconds="$1" last now still=0
  last=$(shares)
  while [ "$still" -lt $((seconds * 10)) ]; do
    sleep 0.1
    now=$(shares)
    if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0; last="$now"; fi
  done
}

start_quillet() {
  QUILLET_TIME_SCALE=0.1 QT_QPA_PLATFORM=xcb \
    "$quillet" --site "http://127.0.0.1:$port" --data-dir "$1" >>"$work/quillet.log" 2>&1 &
  quillet_pid=$!
  pids+=($quillet_pid)
  window=$(wait_for_window Quillet 702x437)
  [ -n "$window" ] || { echo "the main window did not appear"; cat "$work/quillet.log"; exit 1; }
  sleep 3  # start-up signs out and opens the login page in the hidden browser
}
sign_in() {
  click "$window" 290 272 && xdotool type --delay 20 demo
  click "$window" 290 305 && xdotool type --delay 20 demo123
  click "$window" 246 345 && xdotool type --delay 20 7139
  click "$window" 445 310
  sleep 2
}
import_file() {
  click "$window" 115 267
  local dialog
  dialog=$(wait_for_window 打开 600x412)
  [ -n "$dialog" ] || { echo "the open dialog did not appear"; exit 1; }
  click "$dialog" 300 358 && xdotool type --delay 5 "$1" && xdotool key Return
  sleep 1.5
}
type_period() { click "$window" 208 331 && xdotool key ctrl+a BackSpace && xdotool type --delay 20 "$1"; }
publish() { click "$window" 292 267; }
quit_quillet() {
  /usr/bin/python3 "$here/close_window.py" "$window" 2>/dev/null || kill "$quillet_pid"
  wait "$quillet_pid" 2>/dev/null || true
}

# Each item shared once: no item twice, and exactly the items FIRST..LAST.
check_once() {
  local first="$1" last="$2" items twice
  items=$(share_lines | awk '{print $1}' | sort -n)
  twice=$(echo "$items" | uniq -d | tr '\n' ' ')
  [ -z "$twice" ] || { echo "shared twice: $twice"; return 1; }
  [ "$items" = "$(seq "$first" "$last")" ] || {
    echo "items shared: $(echo "$items" | tr '\n' ' '), expected $first..$last once each"
    return 1
  }
}

# --- 1. stop, import on top, 发表 -------------------------------------------
for i in $(seq 1 10); do echo "http://127.0.0.1:$port/item/$i"; done >"$work/first.txt"
for i in $(seq 101 104); do echo "http://127.0.0.1:$port/item/$i"; done >"$work/second.txt"
start_quillet "$work/data1"
sign_in
type_period 21
import_file "$work/first.txt"
publish
wait_for_shares 4 120 || { cat "$work/quillet.log"; exit 1; }
xdotool key ctrl+period
wait_until_still 4
stopped_at=$(shares)
[ "$stopped_at" -lt 10 ] || { echo "the pass ended before the stop"; exit 1; }
echo "stopped after $stopped_at shares"
import_file "$work/second.txt"
publish
wait_for_shares 10 180 || exit 1
wait_until_still 5
check_once 1 10 || exit 1
echo "1 passed: the stopped pass went on with its own rows, each item shared once"
quit_quillet

# --- 2. killed mid-pass, restarted, 发表 only -------------------------------
reset_shares
for i in $(seq 201 210); do echo "http://127.0.0.1:$port/item/$i"; done >"$work/third.txt"
start_quillet "$work/data2"
sign_in
type_period 30
click "$window" 392 332  # 为商品添加随机评论
import_file "$work/third.txt"
publish
wait_for_shares 3 120 || { cat "$work/quillet.log"; exit 1; }
kill -9 "$quillet_pid"
wait "$quillet_pid" 2>/dev/null || true
killed_at=$(shares)
echo "killed after $killed_at shares"
[ "$killed_at" -lt 10 ] || { echo "the pass ended before the kill"; exit 1; }
# The window's remembered settings go: only the pass's own can fill them in.
rm -f "$work/data2/window.ini"

start_quillet "$work/data2"
import -display "$display" -window root "$shot"
sign_in
# Signed in, the publish page shows the interrupted pass's settings.
import -display "$display" -window root "${shot%.png}-signed-in.png"
publish
wait_for_shares 10 180 || { cat "$work/quillet.log"; exit 1; }
wait_until_still 5
check_once 201 210 || exit 1
without=$(share_lines | awk '$2 == "-"' | wc -l)
[ "$without" -eq 0 ] || { echo "$without shares went without the pass's comment"; exit 1; }
quit_quillet
echo "2 passed: the interrupted pass went on with its own settings, each item shared once"
echo "2 passed, 0 failed"
