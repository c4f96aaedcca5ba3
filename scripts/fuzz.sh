#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) into build-fuzz/ (or
# $QUILLET_FUZZ_BUILD_DIR) and runs one target, or every target one after another, for the given
# number of seconds each. Inputs the fuzzer finds go to a work folder beside the build, never
# into the seed corpus; a crashing input is written as crash-* in the current folder, and the
# script then stops with a failure. Add such an input to fuzz/corpus/TARGET/ once it is fixed.
#
#   scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]
#
# Targets: text url cookie request_headers address_file demo_request site_profile
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLET_FUZZ_BUILD_DIR:-$root/build-fuzz}"
all_targets=(text url cookie request_headers address_file demo_request site_profile)

if [ $# -lt 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]" >&2
  echo "targets: ${all_targets[*]}" >&2
  exit 64
fi
what="$1"
seconds="$2"
shift 2
if [ "$what" = all ]; then
  targets=("${all_targets[@]}")
else
  case " ${all_targets[*]} " in
    *" $what "*) targets=("$what") ;;
    *) echo "unknown fuzz target '$what' (one of: ${all_targets[*]})" >&2; exit 64 ;;
  esac
fi

command -v clang++-14 >/dev/null || command -v clang++ >/dev/null ||
  { echo "clang is not installed (Debian packages clang-14 libclang-rt-14-dev)" >&2; exit 1; }
cxx="$(command -v clang++-14 || command -v clang++)"
cc="$(command -v clang-14 || command -v clang)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DQUILLET_FUZZ=ON -DQUILLET_GUI=OFF -DQUILLET_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  mkdir -p "$work"
  echo "== $target: $seconds s"
  # Leaks count as findings (detect_leaks); a slow input over 10 s counts too.
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$@" "$work" "$root/fuzz/corpus/$target"
done
