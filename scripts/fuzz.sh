#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh                                  # every target, 30 s each
#   FUZZ_SECONDS=600 scripts/fuzz.sh                 # a longer run of every target
#   FUZZ_SECONDS=3600 scripts/fuzz.sh fuzz_jpeg      # one long run of one target
# Targets: fuzz_jpeg fuzz_png fuzz_bmp fuzz_workcopy fuzz_pagelist.
# Seeds come from the shared decoder corpus beside the clone when it is there (read only). New
# inputs are kept in build-fuzz/corpus/TARGET; a failing input (crash, leak, hang, excess memory)
# is left in build-fuzz/artifacts/ and fails the run. Inputs that once failed belong, with their
# fix, in tests/hardening/data/, where the test suite replays them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
secs=${FUZZ_SECONDS:-30}
shared="$here/../shared/corpus"
build="$here/build-fuzz"

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILTANA_FUZZ=ON >/dev/null
targets=(fuzz_jpeg fuzz_png fuzz_bmp fuzz_workcopy fuzz_pagelist)
[ $# -gt 0 ] && targets=("$@")
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/scripts/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen
# The targets' scratch files (inputs written for the decoders, work copies) stay in the build
# tree; a target that dies on a finding leaves its folder, which the next run clears.
export QUILTANA_FUZZ_DIR="$build/scratch"
rm -rf "$QUILTANA_FUZZ_DIR"
mkdir -p "$build/artifacts" "$build/logs" "$QUILTANA_FUZZ_DIR"
failed=()
for t in "${targets[@]}"; do
  seeds=()
  case $t in
    fuzz_jpeg) seeds=("$shared/jpeg") ;;
    fuzz_png) seeds=("$shared/png") ;;
    fuzz_bmp) seeds=("$shared/bmp") ;;
    fuzz_workcopy) seeds=("$shared/jpeg" "$shared/png" "$shared/bmp") ;;
    fuzz_pagelist) seeds=("$here/fuzz/pagelist-seeds") ;;
    *) echo "unknown fuzz target $t"; exit 2 ;;
  esac
  existing=()
  for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
  [ ${#existing[@]} -eq 0 ] && echo "note: $shared is absent; $t starts from an empty corpus"
  mkdir -p "$build/corpus/$t"
  # Failing inputs of an earlier run are kept aside, so that this run judges only itself.
  if compgen -G "$build/artifacts/$t-*" >/dev/null; then
    mkdir -p "$build/artifacts/earlier"
    mv "$build/artifacts/$t-"* "$build/artifacts/earlier/"
  fi
  echo "== $t: ${secs}s"
  log="$build/logs/$t.log"
  rc=0
  # The first folder receives the new inputs; the seed folders are only read.
  "$build/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2560 -max_len=1048576 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
    "$build/corpus/$t" "${existing[@]}" >"$log" 2>&1 || rc=$?
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)' "$log" || true
  if [ "$rc" -ne 0 ] || compgen -G "$build/artifacts/$t-*" >/dev/null; then
    echo "$t FAILED (exit $rc); the end of $log:"
    tail -n 60 "$log"
    ls "$build/artifacts/$t-"* 2>/dev/null || true
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found failing inputs in: ${failed[*]}"
  exit 1
fi
echo "fuzzing finished: no crash, leak, hang or excess memory found"
