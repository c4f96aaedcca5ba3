#!/usr/bin/env bash
# Soak run of the whole share flow: COUNT addresses (1000 by default) through
# the real browser engine against the demo share site with faults injected
# (5% wrong links, 10% failed shares, 0-40 ms latency, 1% pages that never
# finish loading, 1% dropped connections), at time scale SCALE (0.1; below that the
# designed waits get shorter than the browser needs to load a page).
# Prints the mismatches between the rows and the site's record, shares made
# twice, rows left without a status, and the automation overhead per address.
# 1000 addresses take about 30 minutes at the default scale.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${QUILLET_BENCH_DIR:-$root/build-bench}"
count="${1:-1000}"
scale="${2:-0.1}"

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_BENCH=ON -DQUILLET_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_share_soak -j2 >/dev/null

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
unset DISPLAY
"$build/bench/share/bench_share_soak" --count "$count" --scale "$scale" 2> >(grep -E '^\s+\.\.\.' >&2)
