#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest. Then builds the Qt-free
# modules (text/, net/, quillet-cli, their tests and the fuzz corpus replays) a second time with
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize/ (or
# $QUILLET_SANITIZE_BUILD_DIR), and runs those tests there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Cache hits across checkouts of the tree in other folders (ccache, when installed).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DQUILLET_TESTS=ON -DQUILLET_WERROR=ON
cd "${QUILLET_BUILD_DIR:-$root/build}"
# No display is needed: GUI tests run on Qt's offscreen platform.
unset DISPLAY
status=0
ctest --output-on-failure --timeout 600 -j "$(nproc)" || status=1

echo "== Qt-free modules with ASan and UBSan"
sanitize="${QUILLET_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
labels='^(text|net|cli|fuzz)$'
cmake -S "$root" -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_TESTS=ON \
  -DQUILLET_WERROR=ON -DQUILLET_SANITIZE=ON -DQUILLET_GUI=OFF >/dev/null
cd "$sanitize"
# Only what those tests run: each test is named for its program (a replay for its fuzz target).
targets=$(ctest --show-only=json-v1 -L "$labels" | python3 -c '
import json, sys
print(" ".join(t["name"].removesuffix("_replay") for t in json.load(sys.stdin)["tests"]))')
# shellcheck disable=SC2086
cmake --build . --parallel "$(nproc)" --target $targets
# A build that is not instrumented would pass without checking anything.
for binary in tests/net/net_http_request_test cli/quillet-cli fuzz/fuzz_cookie fuzz/fuzz_text; do
  if ! nm "$binary" | grep "__asan_report_load" >/dev/null; then
    echo "$binary is not built with AddressSanitizer" >&2
    exit 1
  fi
done
# Every finding fails its test: UBSan stops at the first one, ASan also reports leaks.
ASAN_OPTIONS="detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
  ctest --output-on-failure --timeout 600 -j "$(nproc)" -L "$labels" || status=1
exit "$status"
