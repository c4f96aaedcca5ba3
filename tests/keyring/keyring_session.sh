#!/usr/bin/env bash
# Runs a command inside a private D-Bus session bus with an unlocked GNOME
# Keyring answering on it as the Secret Service, the way a desktop session
# has one. The keyring's files live in a throw-away folder, so the user's own
# keyring is never touched; everything started here ends with the command.
# Exits 77 (skipped) when the tools are missing.
# Usage: keyring_session.sh COMMAND [ARG...]
set -euo pipefail

if [ -z "${QUILLET_KEYRING_SESSION:-}" ]; then
  for tool in dbus-run-session dbus-send gnome-keyring-daemon secret-tool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
  mkdir -m 700 "$home/run" "$home/data"
  status=0
  QUILLET_KEYRING_SESSION=$home XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" \
    dbus-run-session -- "$0" "$@" || status=$?
  exit "$status"
fi

# Inside the bus: the daemon creates the login keyring with this password and
# leaves it unlocked.
printf 'quillet-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
  >"$QUILLET_KEYRING_SESSION/keyring.log" 2>&1 &
keyring_pid=$!
trap 'kill "$keyring_pid" 2>/dev/null || true; wait "$keyring_pid" 2>/dev/null || true' EXIT

# The daemon must own the Secret Service's name before anyone asks, or the bus
# would start a second one by itself; then a stored and read-back probe shows
# that it really answers.
owned=""
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
    grep -q 'boolean true'; then
    owned=yes
    break
  fi
  sleep 0.1
done
[ -n "$owned" ] || { echo "the keyring daemon did not come up"; cat "$QUILLET_KEYRING_SESSION/keyring.log"; exit 1; }
printf 'probe' | secret-tool store --label='quillet test probe' quillet-test probe
[ "$(secret-tool lookup quillet-test probe)" = probe ] ||
  { echo "the keyring does not give back what it was given"; exit 1; }
secret-tool clear quillet-test probe

"$@"
