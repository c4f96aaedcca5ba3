#!/usr/bin/env bash
# Benchmarks of the journal (quillet.db), on the disk that holds the data
# folder (JOURNAL_BENCH_DIR, default a folder under the build tree, not a
# RAM-backed /tmp, so that synchronous=FULL pays for real disk flushes).
#  1. Cost of one recorded outcome (a committed status and time).
#     Target: median < 5 ms.
#  2. Restore of a 100,000-row list (open + read back). Target: < 1 s.
#  3. 1,000 scattered rows of those 100,000 deleted. Target: < 1 s.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${QUILLET_BENCH_DIR:-$root/build-bench}"
outcomes="${OUTCOMES:-500}"
rows="${ROWS:-100000}"

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_BENCH=ON -DQUILLET_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_journal -j2 >/dev/null

work="${JOURNAL_BENCH_DIR:-$build/journal-bench-data}"
trap 'rm -rf "$work"' EXIT
echo "data folder: $work ($(df -T "$(dirname "$work")" | awk 'NR==2 {print $2}'))"
"$build/bench/journal/bench_journal" "$work" "$outcomes" "$rows" | tee "$build/journal-bench.txt"

awk '
  /^outcome_ms_median/ { m = $2 }
  /^restore_ms/ { r = $2 }
  /^delete_ms/ { d = $2 }
  END {
    printf "outcome median %.3f ms (target < 5): %s\n", m, (m < 5 ? "ok" : "MISSED")
    printf "restore of the list %.1f ms (target < 1000): %s\n", r, (r < 1000 ? "ok" : "MISSED")
    printf "1,000 scattered rows deleted %.1f ms (target < 1000): %s\n", d, (d < 1000 ? "ok" : "MISSED")
  }' "$build/journal-bench.txt"
