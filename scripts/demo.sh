#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo share site on 127.0.0.1
# and starts Quillet pointed at it. Stops the site again when Quillet exits.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLET_BUILD_DIR:-$root/build}"
port="${QUILLET_DEMO_PORT:-8421}"

"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DQUILLET_TESTS=OFF

site_log="$(mktemp -t quillet-demo-site.XXXXXX.log)"
"$build/demo/quillet-demo-site" --port "$port" >"$site_log" 2>&1 &
site_pid=$!
cleanup() {
  kill "$site_pid" 2>/dev/null || true
  wait "$site_pid" 2>/dev/null || true
  rm -f "$site_log"
}
trap cleanup EXIT

for _ in $(seq 1 50); do
  grep -q "listening" "$site_log" 2>/dev/null && break
  kill -0 "$site_pid" 2>/dev/null || { cat "$site_log" >&2; exit 1; }
  sleep 0.1
done
cat "$site_log"
# The sample file names the default port; on any other one its items would
# all be wrong addresses. Hand out a copy made for the port in use.
addresses="$build/demo/sample-addresses-$port.txt"
sed "s#//127\.0\.0\.1:8421/#//127.0.0.1:$port/#" "$root/demo/sample-addresses.txt" >"$addresses"
echo "Sample addresses to import: $addresses"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running Quillet on a virtual one (Xvfb). Set DISPLAY to see the window."
  exec_prefix=(xvfb-run -a -s "-screen 0 1280x800x24")
else
  exec_prefix=()
fi
"${exec_prefix[@]}" "$build/app/quillet" --site "http://127.0.0.1:$port" "$@"
