#!/usr/bin/env bash
# Speed of utf8ToGbk and big5ToSimplifiedGbk over 64 MB of Chinese text, each beside glibc's
# iconv converting the same bytes in the same process (the baseline). Target: ratio >= 1.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DQUILLET_BENCH=ON >/dev/null
cmake --build "$build" --target bench_text_conversion -j2 >/dev/null
json="$(mktemp)"
trap 'rm -f "$json"' EXIT
"$build/bench/text/bench_text_conversion" --benchmark_format=json --benchmark_out="$json" \
  --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys
rates = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    rates[b["name"].split("/")[0]] = b["bytes_per_second"] / 1e6
pairs = [("BM_Utf8ToGbk", "BM_IconvUtf8ToGbk", "utf8ToGbk", "iconv UTF-8 to GBK"),
         ("BM_Big5ToSimplifiedGbk", "BM_IconvBig5ToGbk", "big5ToSimplifiedGbk", "iconv BIG5 to GBK")]
for ours, base, name, baseName in pairs:
    ratio = rates[ours] / rates[base]
    print(f"{name:22s} {rates[ours]:8.1f} MB/s   baseline {baseName:20s} {rates[base]:8.1f} MB/s"
          f"   ratio {ratio:5.2f} (target >= 1.00) {'ok' if ratio >= 1 else 'BELOW TARGET'}")
PY
