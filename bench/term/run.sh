#!/usr/bin/env bash
# Benchmarks of `quillet run` against the demo site, the program run as a
# process as cron would run it (no display, output to files).
#  1. Time from the start of `quillet run` to its first page step (the line
#     it prints when the pass begins, right before step 1). Target: < 2 s.
#  2. Peak resident memory of the whole process tree (quillet and the
#     browser engine's processes, summed, sampled every 50 ms) during a pass.
#     Target: < 300 MB.
# QUILLET_BENCH_DIR picks the build folder (default build-bench, built here);
# ROWS the list length (default 10); RUNS the repetitions (default 3).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${QUILLET_BENCH_DIR:-$root/build-bench}"
rows="${ROWS:-10}"
runs="${RUNS:-3}"

if [ ! -x "$build/app/quillet" ] || [ -z "${QUILLET_BENCH_DIR:-}" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DQUILLET_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target quillet quillet-demo-site -j2 >/dev/null
fi

work="$(mktemp -d)"
site_pid=""
cleanup() {
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$build/demo/quillet-demo-site" --port "$port" --fixed-captcha 7139 >"$work/site.log" 2>&1 &
site_pid=$!
for _ in $(seq 1 100); do grep -q listening "$work/site.log" && break; sleep 0.05; done
site="http://127.0.0.1:$port"

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-}" QUILLET_TIME_SCALE="${QUILLET_TIME_SCALE:-0.1}"
echo 7139 | QUILLET_PASSWORD=demo123 "$build/app/quillet" login --user demo --site "$site" \
  --data-dir "$work/data" 2>"$work/login.log" || { cat "$work/login.log"; exit 1; }
for i in $(seq 1 "$rows"); do echo "$site/item/$i"; done >"$work/list.txt"

python3 - "$build/app/quillet" "$site" "$work" "$runs" <<'PY'
import os, subprocess, sys, threading, time

quillet, site, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
page = os.sysconf("SC_PAGE_SIZE")

def tree(root):
    children = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            children.setdefault(ppid, []).append(int(pid))
        except (OSError, IndexError, ValueError):
            pass
    out, todo = [], [root]
    while todo:
        pid = todo.pop()
        out.append(pid)
        todo.extend(children.get(pid, []))
    return out

def rss(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/statm") as f:
                total += int(f.read().split()[1]) * page
        except (OSError, IndexError, ValueError):
            pass
    return total

firsts, peaks = [], []
for _ in range(runs):
    start = time.monotonic()
    proc = subprocess.Popen([quillet, "run", f"{work}/list.txt", "--site", site,
                             "--data-dir", f"{work}/data"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    peak = [0]
    def sample():
        while proc.poll() is None:
            peak[0] = max(peak[0], rss(tree(proc.pid)))
            time.sleep(0.05)
    sampler = threading.Thread(target=sample)
    sampler.start()
    first = None
    for line in proc.stderr:
        if first is None and line.startswith("开始分享"):
            first = time.monotonic() - start
    proc.wait()
    sampler.join()
    if first is None or proc.returncode not in (0, 1):
        sys.exit(f"quillet run ended with {proc.returncode} before a page step")
    firsts.append(first)
    peaks.append(peak[0])

print(f"rows per pass: {sum(1 for _ in open(f'{work}/list.txt'))}, runs: {runs}")
print("start to first page step: best %.2f s, worst %.2f s (target < 2 s)" % (min(firsts), max(firsts)))
print("peak summed RSS of the process tree: %.0f MB (worst run; target < 300 MB)" % (max(peaks) / 1e6))
PY
