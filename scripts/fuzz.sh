#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh            # 30 s a target (FUZZ_SECONDS to change it)
#   FUZZ_SECONDS=3600 scripts/fuzz.sh fuzz_jpeg   # one long run
# Seeds come from the shared decoder corpus beside the clone when it is there. New inputs are
# kept in build-fuzz/corpus/TARGET; a crash leaves its input in build-fuzz/artifacts/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
secs=${FUZZ_SECONDS:-30}
shared="$here/../shared/corpus"
build="$here/build-fuzz"

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILTANA_FUZZ=ON >/dev/null
targets=(fuzz_jpeg fuzz_png fuzz_bmp fuzz_workcopy)
[ -f "$here/src/print/pagelist.h" ] && targets+=(fuzz_pagelist)
[ $# -gt 0 ] && targets=("$@")
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/scripts/lsan.supp
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  seeds=()
  case $t in
    fuzz_jpeg) seeds=("$shared/jpeg") ;;
    fuzz_png) seeds=("$shared/png") ;;
    fuzz_bmp) seeds=("$shared/bmp") ;;
    fuzz_workcopy) seeds=("$shared/jpeg" "$shared/png" "$shared/bmp") ;;
    fuzz_pagelist) seeds=("$here/fuzz/pagelist-seeds") ;;
  esac
  existing=()
  for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
  [ ${#existing[@]} -eq 0 ] && [ "$t" != fuzz_pagelist ] && echo "note: $shared is absent; $t starts from an empty corpus"
  mkdir -p "$build/corpus/$t"
  echo "== $t: ${secs}s"
  "$build/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
    "$build/corpus/$t" "${existing[@]}" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::new_units_added|==|SUMMARY|.*ERROR)' || true
  if ls "$build/artifacts/$t-"* >/dev/null 2>&1; then
    echo "$t found a failing input:"; ls "$build/artifacts/$t-"*; exit 1
  fi
done
echo "fuzzing finished: no crash, leak or hang found"
