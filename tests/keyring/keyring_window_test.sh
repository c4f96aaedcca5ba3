#!/usr/bin/env bash
# The window's remembered password in the desktop's keyring, on a virtual
# screen (Xvfb) and driven as a user would, inside keyring_session.sh: sign in
# with 记住账号和密码 ticked, close, start again; the password box is filled
# from the keyring (a screenshot shows it) and the captcha alone signs in.
# A third start with the box unticked removes the entry.
# Usage: keyring_session.sh keyring_window_test.sh QUILLET DEMO_SITE OUTPUT_PNG
set -euo pipefail
quillet="$1" demo_site="$2" output="$3"
here="$(cd "$(dirname "$0")" && pwd)"

# shellcheck source-path=SCRIPTDIR source=../app/xvfb_session.sh
. "$here/../app/xvfb_session.sh"
require_tools Xvfb xdotool xwininfo import convert secret-tool
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is not installed"; exit 77; }
[ -n "${QUILLET_KEYRING_SESSION:-}" ] || { echo "run through keyring_session.sh"; exit 1; }
start_xvfb 241 290
export DISPLAY="$display"
# Xvfb resets itself (every window gone, connections refused meanwhile) when
# its last client leaves, as the program does between its starts here: one
# idle client stays connected for the whole test.
/usr/bin/python3 -c 'import time; from Xlib import display; d = display.Display(); time.sleep(600)' &
pids+=($!)
start_demo_site "$demo_site" --fixed-captcha 7139
data="$work/data"
key="demo@127.0.0.1:$port"

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
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

# Starts the program and waits for its main window; sets `window` and `quillet_pid`.
start_quillet() {
  QUILLET_TIME_SCALE=0.05 QT_QPA_PLATFORM=xcb \
    "$quillet" --site "http://127.0.0.1:$port" --data-dir "$data" >>"$work/quillet.log" 2>&1 &
  quillet_pid=$!
  pids+=("$quillet_pid")
  window=$(wait_for_window Quillet 702x437)
  [ -n "$window" ] || { echo "the main window did not appear"; cat "$work/quillet.log"; exit 1; }
  sleep 3  # start-up signs out and opens the login page in the hidden browser
}

# Presses 登录 with the captcha typed and checks that the publish page opened:
# its 导入地址 button brings up the open dialog.
sign_in_with_captcha() {
  click "$window" 246 345 && xdotool type --delay 20 7139
  click "$window" 445 310
  sleep 2
  click "$window" 115 267
  local dialog
  dialog=$(wait_for_window 打开 600x412)
  [ -n "$dialog" ] || { echo "not signed in: $1"; cat "$work/quillet.log"; exit 1; }
  # Esc to whichever window the dialog has by then (its first one may be
  # replaced while it settles), until it is gone.
  for _ in $(seq 1 20); do
    sleep 0.3
    dialog=$(find_window 打开 600x412)
    [ -z "$dialog" ] && return
    xdotool key --window "$dialog" Escape 2>/dev/null || true
  done
  echo "the open dialog did not close"
  exit 1
}

close_quillet() {
  kill -0 "$quillet_pid" 2>/dev/null ||
    { echo "the program ended before its window was closed"; cat "$work/quillet.log"; exit 1; }
  local current
  current=$(find_window Quillet 702x437)
  [ "$current" = "$window" ] || echo "note: the main window is now $current, was $window"
  /usr/bin/python3 "$here/../app/close_window.py" "${current:-$window}"
  for _ in $(seq 1 100); do
    kill -0 "$quillet_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$quillet_pid" 2>/dev/null && { echo "the program did not end"; exit 1; }
  wait "$quillet_pid" || { echo "the program ended with status $?"; exit 1; }
}

# The password file holds no password (absent, or the empty file start-up makes).
no_password_file() {
  [ ! -s "$data/password.txt" ] || { echo "password.txt holds: $(cat "$data/password.txt")"; exit 1; }
}

# First start: type the account, tick 记住账号和密码, sign in.
start_quillet
click "$window" 290 272 && xdotool type --delay 20 demo
click "$window" 290 305 && xdotool type --delay 20 demo123
click "$window" 210 372
sign_in_with_captcha "typed account"
close_quillet
[ "$(secret-tool lookup server quillet user "$key")" = demo123 ] ||
  { echo "the keyring holds no password for $key"; exit 1; }
no_password_file
[ "$(cat "$data/user.txt")" = demo ] || { echo "user.txt holds: $(cat "$data/user.txt")"; exit 1; }
echo "signed in with 记住 ticked: the keyring holds the password, password.txt none"

# Second start: the boxes come filled, the password from the keyring.
start_quillet
import -display "$display" -window "$window" "$output"
# The password box (at 202,292 in the window, 176x24) shows seven masks.
masks=$(convert "$output" -crop 176x24+202+292 +repage -colorspace gray -threshold 50% \
  -negate -format '%[fx:mean*w*h]' info:)
echo "screenshot $output; dark pixels in the password box: $masks"
[ "${masks%.*}" -ge 20 ] || { echo "the password box looks empty"; exit 1; }
no_password_file
sign_in_with_captcha "with the remembered password"
close_quillet
echo "started again: the password came from the keyring, the captcha alone signed in"

# Third start: untick 记住账号和密码 and sign in; the entry goes.
start_quillet
click "$window" 210 372
sign_in_with_captcha "with the box unticked"
close_quillet
if secret-tool lookup server quillet user "$key" >/dev/null; then
  echo "the keyring still holds the password after signing in unticked"
  exit 1
fi
[ ! -s "$data/user.txt" ] || { echo "user.txt still holds: $(cat "$data/user.txt")"; exit 1; }
echo "signed in unticked: the keyring entry and the remembered user are gone"
echo "1 passed, 0 failed"
