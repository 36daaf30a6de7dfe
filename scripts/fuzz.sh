#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh                                  # every target, 30 s each
#   FUZZ_SECONDS=600 scripts/fuzz.sh                 # a longer run of every target
#   FUZZ_SECONDS=3600 scripts/fuzz.sh fuzz_jpeg      # one long run of one target
# Targets: fuzz_jpeg fuzz_png fuzz_bmp fuzz_workcopy fuzz_exif fuzz_pagelist. The EXIF reader is
# fuzzed on its own by fuzz_exif, and through the decoders by fuzz_jpeg and fuzz_png.
# Seeds come from fuzz/make-seeds.py, written afresh into build-fuzz/seeds/TARGET at each run
# (pictures that cost a decoder time or memory: scans repeated thousands of times, extreme
# aspect ratios, OS/2 bitmaps, truncated files, hundreds of APPn segments, a JPEG whose header
# misleads a reader of segment lengths and one whose header is thousands of comments), and from the shared
# decoder corpus beside the clone when it is there (read only). New
# inputs are kept in build-fuzz/corpus/TARGET; a failing input (crash, leak, hang, excess memory)
# is left in build-fuzz/artifacts/ and fails the run. Inputs that once failed belong, with their
# fix, in tests/hardening/data/, where the test suite replays them.
#
# Resource limits: a hang or a memory blow-up is a finding like a crash. libFuzzer writes the
# input as build-fuzz/artifacts/TARGET-timeout-* or TARGET-oom-* and exits non-zero.
#   -max_len=32768      inputs up to 32 KiB. The decoders allow a file of n bytes to declare at
#                       most 16 million + 2048 * n pixels, so a decode that keeps to that rule
#                       stays below about 83 million pixels (250 MB as RGB888) here.
#   -timeout=6          seconds for one run of an input. libFuzzer looks every 4 s (timeout/2+1),
#                       so a run is caught somewhere between 6 and 10 s, never below 6. Measured
#                       here, instrumented, on a shared two-core machine: the costliest decode
#                       the rule allows, an 81 million pixel progressive 4:4:4 JPEG at full size
#                       and as a work copy, takes 4 to 5.5 s a run; a 32 KiB JPEG of that size
#                       whose scans repeat a thousand times or more takes 9 to 13 s, and such
#                       files cost minutes at larger sizes. A larger timeout would let those
#                       through, a smaller one would flag honest pictures.
#   -malloc_limit_mb=512  largest single allocation: above the 250 MB of the largest picture
#                       allowed at this length, below the 600 MB of a picture at the 200
#                       million pixel bound or of a work copy 1,000,000 pixels wide.
#   -rss_limit_mb=1536  the whole process, AddressSanitizer's shadow memory and quarantine
#                       included: room for the largest allowed picture, a progressive JPEG's
#                       coefficient buffers and a work copy (on two threads in fuzz_workcopy),
#                       not for the 1.4 GB and more of an oversized work copy.
# ASAN_OPTIONS quarantine_size_mb=64 (256 by default) keeps freed memory from counting long
# towards the RSS limit, so that the limit measures what the decoders hold.
#
# The targets' scratch files (inputs written for the decoders, work copies) and anything else
# written to the temporary folder go into a folder of this run's own in build-fuzz, removed when
# the run ends, however it ends. A second run in the same clone waits until the first is done.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exec 8<"$here/scripts/fuzz.sh"
if ! flock -n 8; then
  echo "Another run of scripts/fuzz.sh is using this clone's build-fuzz; waiting for it to end."
  flock 8
fi
secs=${FUZZ_SECONDS:-30}
# At most two compile jobs: the machines that run this are small and shared.
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
shared="$here/../shared/corpus"
build="$here/build-fuzz"
# A target that dies on a finding leaves its own folder inside the run's, which goes with it.
# Folders of earlier runs that could not clear up (killed outright) are cleared here.
mkdir -p "$build"
rm -rf "$build/scratch" "$build"/scratch.*
scratch=$(mktemp -d "$build/scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
export QUILTANA_FUZZ_DIR=$scratch
export TMPDIR=$scratch

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILTANA_FUZZ=ON >/dev/null
targets=(fuzz_jpeg fuzz_png fuzz_bmp fuzz_workcopy fuzz_exif fuzz_pagelist)
[ $# -gt 0 ] && targets=("$@")
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=64
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/scripts/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts" "$build/logs"
rm -rf "$build/seeds"
python3 "$here/fuzz/make-seeds.py" "$build/seeds"
failed=()
for t in "${targets[@]}"; do
  seeds=()
  case $t in
    fuzz_jpeg) seeds=("$build/seeds/$t" "$shared/jpeg") ;;
    fuzz_png) seeds=("$build/seeds/$t" "$shared/png") ;;
    fuzz_bmp) seeds=("$build/seeds/$t" "$shared/bmp") ;;
    fuzz_workcopy) seeds=("$build/seeds/$t" "$shared/jpeg" "$shared/png" "$shared/bmp") ;;
    fuzz_exif) seeds=("$build/seeds/$t") ;;
    fuzz_pagelist) seeds=("$here/fuzz/pagelist-seeds") ;;
    *) echo "unknown fuzz target $t"; exit 2 ;;
  esac
  existing=()
  for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
  [ "$t" != fuzz_pagelist ] && [ "$t" != fuzz_exif ] && [ ! -d "$shared" ] && echo "note: $shared is absent; $t starts from the generated seeds"
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
  "$build/fuzz/$t" -max_total_time="$secs" -max_len=32768 -timeout=6 \
    -malloc_limit_mb=512 -rss_limit_mb=1536 \
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
