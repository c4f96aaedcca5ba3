#!/usr/bin/env bash
# Long run of the random-user simulation (tests/share/tst_share_simulation):
# COUNT sequences (100000 by default) from seed FIRST (1), against the real
# engine, pass control and journal with the share site in memory. The suite
# runs the first 2500; this goes further. A failure prints its seed and its
# actions; replay one with: simulate.sh 1 SEED
# 100000 sequences take some 20 minutes on two cores.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${QUILLET_BUILD_DIR:-$root/build}"
count="${1:-100000}"
first="${2:-1}"

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_TESTS=ON >/dev/null
cmake --build "$build" --target tst_share_simulation -j2 >/dev/null

export QT_QPA_PLATFORM=offscreen
unset DISPLAY
QUILLET_SIM_SEQUENCES="$count" QUILLET_SIM_FIRST_SEED="$first" \
  "$build/tests/share/tst_share_simulation"
