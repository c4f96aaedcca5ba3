#!/usr/bin/env bash
# A Secret Service that takes calls and never answers them (a hung keyring
# daemon) on a private session bus: `quillet login --remember` gives up on it
# after its bounded wait, signs in, keeps the password in password.txt
# (owner-only) and says so once on standard error.
# Usage: keyring_hang_test.sh QUILLET DEMO_SITE
set -euo pipefail
quillet="$1" demo_site="$2"
here="$(cd "$(dirname "$0")" && pwd)"

if [ -z "${QUILLET_HUNG_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is not installed"; exit 77; }
  /usr/bin/python3 -c 'import dbus' 2>/dev/null || { echo "SKIP: python3-dbus is not installed"; exit 77; }
  status=0
  QUILLET_HUNG_BUS=1 dbus-run-session -- "$0" "$@" || status=$?
  exit "$status"
fi

# shellcheck source-path=SCRIPTDIR source=../app/xvfb_session.sh
. "$here/../app/xvfb_session.sh"

# Owns the service's name and then never reads a message: every call waits.
/usr/bin/python3 -c '
import dbus, sys, time
bus = dbus.SessionBus()
bus.request_name("org.freedesktop.secrets")
print("owned", flush=True)
time.sleep(600)
' >"$work/hung.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  grep -q owned "$work/hung.log" && break
  sleep 0.1
done
grep -q owned "$work/hung.log" || { echo "the hung service did not start"; cat "$work/hung.log"; exit 1; }
start_demo_site "$demo_site" --fixed-captcha 7139

data="$work/data"
started=$(date +%s)
status=0
printf '7139\n' | env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM QUILLET_PASSWORD=demo123 \
  QTWEBENGINE_DISABLE_SANDBOX=1 QUILLET_TIME_SCALE=0.1 \
  timeout 180 "$quillet" login --user demo --remember --site "http://127.0.0.1:$port" \
  --data-dir "$data" >"$work/out" 2>"$work/err" || status=$?
elapsed=$(($(date +%s) - started))
echo "quillet login ended with status $status after $elapsed s"
cat "$work/err"
[ "$status" -eq 0 ] || { echo "the sign-in failed"; exit 1; }
# One bounded wait of 20 s, then the file; never the D-Bus call's own limit per call.
[ "$elapsed" -lt 90 ] || { echo "the hung keyring held the login for $elapsed s"; exit 1; }
[ "$(cat "$data/password.txt")" = demo123 ] || { echo "password.txt does not hold the password"; exit 1; }
[ "$(stat -c %a "$data/password.txt")" = 600 ] || { echo "password.txt is not owner-only"; exit 1; }
notices=$(grep -c "密码保存在文件中：$data/password.txt" "$work/err" || true)
[ "$notices" -eq 1 ] || { echo "the file notice came $notices times"; exit 1; }
echo "1 passed, 0 failed"
