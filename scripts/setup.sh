#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are not yet
# installed. Safe to run again: with everything present it does nothing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# tinyproxy's package starts a system service; the tests start their own.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet tinyproxy 2>/dev/null; then
  "${sudo_cmd[@]}" systemctl stop tinyproxy || true
fi
