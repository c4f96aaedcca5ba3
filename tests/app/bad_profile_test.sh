#!/usr/bin/env bash
# Starts Quillet with a site profile that is refused, on a virtual screen
# (Xvfb): a message box names the file, line and key, the main window never
# appears, the same text goes to stderr, and once the box is answered the
# program ends with status 2 without having started (no remembered-account
# files in the data folder).
# Usage: bad_profile_test.sh QUILLET
set -euo pipefail
quillet="$1"

# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb xwininfo xdotool
start_xvfb 141 190

printf '# a profile for a site that moved its fields\n\naddressBox = 0\n' >"$work/bad.toml"
expected="$work/bad.toml:3: addressBox must be a whole number of at least 1"

DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  "$quillet" --site "http://127.0.0.1:9" --data-dir "$work/data" --profile "$work/bad.toml" \
  >"$work/out.log" 2>"$work/err.log" &
quillet_pid=$!
pids+=($quillet_pid)

box=""
for _ in $(seq 1 300); do
  box=$(xwininfo -display "$display" -root -tree 2>/dev/null |
        awk '/"Quillet": \("quillet"/ {print $1; exit}') || true
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || { echo "no message box appeared"; cat "$work/err.log"; exit 1; }
if xwininfo -display "$display" -root -tree | grep -q '702x437'; then
  echo "the main window appeared although the profile was refused"
  exit 1
fi
grep -qF "$expected" "$work/err.log" || { echo "stderr lacks: $expected"; cat "$work/err.log"; exit 1; }

# OK in the message box, as a user would press it.
DISPLAY="$display" xdotool windowfocus --sync "$box" key Return
for _ in $(seq 1 50); do
  kill -0 "$quillet_pid" 2>/dev/null || break
  sleep 0.1
done
status=0
wait "$quillet_pid" || status=$?
[ "$status" -eq 2 ] || { echo "the program ended with status $status, not 2"; exit 1; }
[ ! -e "$work/data/user.txt" ] || { echo "the program started although refused"; exit 1; }
echo "refused profile: message box, stderr, exit status 2"
echo "1 passed, 0 failed"
