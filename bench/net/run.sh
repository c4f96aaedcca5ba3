#!/usr/bin/env bash
# Network benchmarks over loopback, each against a baseline in the same run:
#  1. a 256 MB download by `quillet-cli fetch` beside `curl -s -o /dev/null` (target: at least
#     0.9 of curl's throughput), median of several runs each;
#  2. 1,000 sequential small requests by fetchWithTimeout beside plain libcurl with a fresh
#     handle per request, taking turns in blocks of 100 (requests per second);
#  3. the CPU a 10 s fetch wait costs on a Qt event loop (the captcha download's wait), beside a
#     wait that wakes every 5 ms (target: near zero, under 1 % of a core).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build-bench"
runs="${QUILLET_BENCH_RUNS:-7}"
size=$((256 * 1024 * 1024))

cmake -S "$root" -B "$build" -G Ninja -DQUILLET_BENCH=ON >/dev/null
cmake --build "$build" --target quillet-cli quillet-bench-bulk-server \
  bench_net_sequential_requests bench_net_fetch_wait_cpu -j2 >/dev/null
command -v curl >/dev/null || { echo "curl is not installed (Debian package curl)"; exit 1; }

work="$(mktemp -d)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
"$build/bench/net/quillet-bench-bulk-server" "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port="$(cat "$work/port")"
url="http://127.0.0.1:$port/bytes/$size"

# Median wall time in seconds of running the given command $runs times.
median_seconds() {
  local times=()
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

ours=$(median_seconds "$build/cli/quillet-cli" fetch "$url" -o /dev/null)
base=$(median_seconds curl -s -o /dev/null "$url")
awk -v o="$ours" -v b="$base" -v s="$size" 'BEGIN {
  om = s / o / 1e6; bm = s / b / 1e6; r = om / bm;
  printf "256 MB download      quillet-cli fetch %8.1f MB/s   baseline curl %8.1f MB/s   ratio %5.2f (target >= 0.90) %s\n",
    om, bm, r, (r >= 0.9 ? "ok" : "BELOW TARGET")
}'

json="$work/requests.json"
QUILLET_BENCH_PORT="$port" "$build/bench/net/bench_net_sequential_requests" \
  --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys
b = json.load(open(sys.argv[1]))["benchmarks"][0]
ours, base = b["fetch_per_second"], b["libcurl_per_second"]
print(f"1,000 small requests fetchWithTimeout {ours:8.0f} req/s   baseline libcurl fresh handle {base:8.0f} req/s"
      f"   ratio {ours / base:5.2f}")
PY

QUILLET_BENCH_PORT="$port" "$build/bench/net/bench_net_fetch_wait_cpu"
