#!/usr/bin/env bash
# Benchmarks of the sharing engine's address list and wait.
#  1. Import of a 1,000,000-line GBK address file into the list (with its
#     view), against `iconv -f GBK -t UTF-8` over the same file. Target: the
#     import takes at most 3 times iconv's time.
#  2. pumpWait(1600000) at time scale 1, 20 runs: overshoot p50/max (target
#     max < 2 ms) and CPU time while waiting (target < 1% of the time waited).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${QUILLET_BENCH_DIR:-$root/build-bench}"
lines="${LINES_COUNT:-1000000}"

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_BENCH=ON -DQUILLET_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_share_import bench_share_pump_wait -j2 >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 - "$work/addresses.txt" "$lines" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as out:
    for i in range(count):
        out.write(("http://item.example.cn/宝贝/%d.htm?id=%d&来源=分享\r\n" % (i, i * 7919)).encode("gbk"))
PY
echo "file: $lines lines, $(stat -c %s "$work/addresses.txt") bytes (GBK, CRLF)"

export QT_QPA_PLATFORM=offscreen
seconds() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" && cat "$work/time"; }

# Warm the page cache, then time each three times and keep the best.
cat "$work/addresses.txt" >/dev/null
best_iconv=""; best_import=""; peak_import=0; import_inner=""
for _ in 1 2 3; do
  read -r s _ < <(seconds iconv -f GBK -t UTF-8 "$work/addresses.txt")
  best_iconv=$(python3 -c "print(min(float('$s'), float('${best_iconv:-1e9}')))")
  read -r s kb < <(seconds "$build/bench/share/bench_share_import" "$work/addresses.txt")
  best_import=$(python3 -c "print(min(float('$s'), float('${best_import:-1e9}')))")
  peak_import=$(( kb > peak_import ? kb : peak_import ))
  inner=$(awk '/^import_ms/ {print $2}' "$work/out")
  import_inner=$(python3 -c "print(min(float('$inner'), float('${import_inner:-1e12}')))")
  rows=$(awk '/^rows/ {print $2}' "$work/out")
done
echo "rows imported: $rows"
echo "iconv:  ${best_iconv} s"
echo "import: ${best_import} s whole process (${import_inner} ms inside the import), peak RSS $(( peak_import / 1024 )) MiB"
python3 -c "print('ratio import/iconv: %.2f (target <= 3)' % (float('$best_import') / max(float('$best_iconv'), 1e-3)))"

echo
echo "pumpWait(1600000), time scale 1:"
"$build/bench/share/bench_share_pump_wait" 20
