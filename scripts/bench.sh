#!/usr/bin/env bash
# Runs every benchmark script under bench/ (each builds what it needs).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
status=0
for script in "$root"/bench/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== ${script#"$root"/}"
  "$script" || status=1
done
exit "$status"
