#!/usr/bin/env bash
# The window's sign-in hold on a virtual screen (Xvfb, the xcb platform), with
# a screenshot of the screen during the hold saved to OUTPUT_PNG by the test,
# then checked to be drawn (enough distinct colours for text and controls).
# Usage: sign_in_hold_xvfb.sh TEST_BINARY OUTPUT_PNG
set -euo pipefail
test_binary="$1" output="$2"

# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb import convert xwininfo
start_xvfb 141 190
rm -f "$output"
DISPLAY="$display" QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 QUILLET_TIME_SCALE=0.1 \
  QUILLET_HOLD_SCREENSHOT="$output" "$test_binary"
[ -s "$output" ] || { echo "no screenshot was taken"; exit 1; }
colours=$(convert "$output" -format '%k' info:)
echo "screenshot $output: $colours colours"
[ "$colours" -ge 16 ] || { echo "the screen looks blank"; exit 1; }
