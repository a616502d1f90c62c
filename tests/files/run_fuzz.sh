#!/usr/bin/env bash
# Fuzzes the data file reader and the configuration file reader with libFuzzer.
# Usage: tests/files/run_fuzz.sh [seconds per target, default 30]
# Builds in build/fuzz with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# seeds each target with small valid files made by the writers, and stops at the first
# finding (the crashing input is left in build/fuzz/findings).
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-30}"
dir=build/fuzz

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNEL_SANITIZE="fuzzer-no-link;address;undefined" >/dev/null
fi
cmake --build "$dir" --target fuzz_idc fuzz_cfx make_fuzz_seeds -j2

corpus="$dir/corpus"
seeds="$dir/seeds"
mkdir -p "$corpus/idc" "$corpus/cfx" "$dir/findings"
"$dir/tests/files/make_fuzz_seeds" "$seeds"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Both targets at once, one per processor; each prints its log when it is done.
pids=()
for target in idc cfx; do
  echo "fuzz_$target: $seconds s"
  "$dir/tests/files/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$dir/findings/$target-" -print_final_stats=1 \
    "$corpus/$target" "$seeds/$target" >"$dir/fuzz_$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in 0 1; do
  target=$([ $i = 0 ] && echo idc || echo cfx)
  wait "${pids[$i]}" || { status=1; echo "fuzz_$target found a fault:"; }
  cat "$dir/fuzz_$target.log"
done
exit $status
