#!/usr/bin/env bash
# Installs what is missing, builds Quiltana with its tests and runs every test:
#   1. the test suite in a normal build (build-test);
#   2. the same suite built without CUPS (Qt's print system sends the jobs) and without the
#      calls only glibc has, in Release (build-portable);
#   3. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan):
#      any report, leaks included, fails the run;
#   4. each libFuzzer target for a bounded time (FUZZ_SECONDS, 30 by default; scripts/fuzz.sh).
# Every stage runs even when an earlier one failed, so that one run shows every failure; the
# run fails when any stage did.
#
# Runs on one machine keep apart: each has a print queue and a scratch folder (its TMPDIR) of
# its own, and removes both when it ends, however it ends. The build folders are the clone's;
# a second run in the same clone waits until the first is done.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

exec 9<"$here/scripts/test.sh"
if ! flock -n 9; then
  echo "Another run of scripts/test.sh is using this clone's build folders; waiting for it to end."
  flock 9
fi

"$here/scripts/deps.sh" test
jobs=$(nproc)
failed=()

# A real print queue for the tests that send jobs through CUPS: a PDF queue (cups-pdf) named
# QuiltanaTest-<this script's PID>-<random>, never made the default. It accepts jobs but is
# held, so they wait in the queue, where the tests look at them, and go with it at the end
# instead of being printed. Best effort: where no scheduler can be had, those tests skip and
# say why. A scheduler already running is used as it is and left running; one this script
# starts runs in the foreground as its child and is stopped, by its PID, at the end.
queue="QuiltanaTest-$$-$RANDOM"
queue_added=""
cupsd_pid=""
scratch=""

scheduler_up() { lpstat -r 2>/dev/null | grep -q 'is running'; }

# PIDs of other runs of this script whose queues are on the scheduler and that still run.
other_runs() {
  lpstat -p 2>/dev/null | sed -nE 's/^printer QuiltanaTest-([0-9]+)-[0-9]+ .*/\1/p' | sort -u |
    while read -r pid; do
      [ "$pid" != "$$" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
    done
  return 0
}

stop_our_cupsd() {
  # Another run that found our scheduler running uses it until it has removed its queue.
  local waited=0 others
  while others=$(other_runs) && [ -n "$others" ] && [ "$waited" -lt 2700 ]; do
    [ "$waited" -eq 0 ] && echo "The CUPS scheduler this run started is still used by run(s) $(echo $others); waiting for them to end."
    sleep 5
    waited=$((waited + 5))
  done
  kill -TERM "$cupsd_pid" 2>/dev/null || return 0
  for _ in $(seq 1 20); do
    kill -0 "$cupsd_pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -KILL "$cupsd_pid" 2>/dev/null || true
  wait "$cupsd_pid" 2>/dev/null || true
}

cleanup() {
  if [ -n "$queue_added" ]; then timeout 30 lpadmin -x "$queue" >/dev/null 2>&1 || true; fi
  if [ -n "$cupsd_pid" ]; then stop_our_cupsd; fi
  if [ -n "$scratch" ]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

if command -v lpadmin >/dev/null 2>&1 && [ -x /usr/sbin/cupsd ]; then
  if ! scheduler_up; then
    # Without the lock above (fd 9), which is this script's own.
    /usr/sbin/cupsd -f </dev/null >/dev/null 2>&1 9<&- &
    cupsd_pid=$!
    for _ in $(seq 1 20); do
      scheduler_up && break
      kill -0 "$cupsd_pid" 2>/dev/null || break
      sleep 1
    done
    if ! kill -0 "$cupsd_pid" 2>/dev/null; then
      # It did not stay up: a scheduler another run started at the same moment, if there is
      # one, is used as it is.
      wait "$cupsd_pid" 2>/dev/null || true
      cupsd_pid=""
    fi
  fi
  if scheduler_up; then
    model=$(timeout 30 lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt/ {print $1; exit}' || true)
    if [ -n "$model" ] && timeout 30 lpadmin -p "$queue" -v cups-pdf:/ -m "$model" >/dev/null 2>&1; then
      queue_added=1
      timeout 30 cupsaccept "$queue" >/dev/null 2>&1 || true
    fi
  fi
fi
export QUILTANA_TEST_PRINTER=$queue

# Whatever the tests and tools write into the temporary folder stays in this run's own one.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quiltana-test.XXXXXX")
export TMPDIR=$scratch

rm -f "$here/build-test/ctest.log" "$here/build-portable/ctest.log" "$here/build-asan/ctest.log"

echo "== test suite"
if ! (
  # (errexit does not hold inside an if, hence the chain)
  cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILTANA_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$here/build-test" -j "$jobs" &&
  cd "$here/build-test" &&
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j "$jobs" | tee "$here/build-test/ctest.log"
); then failed+=("test suite"); fi

echo "== test suite without CUPS and without glibc-only calls"
if ! (
  cmake -S "$here" -B "$here/build-portable" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUILTANA_WITH_CUPS=OFF -DQUILTANA_PORTABLE=ON -DQUILTANA_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$here/build-portable" -j "$jobs" &&
  cd "$here/build-portable" &&
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j "$jobs" | tee "$here/build-portable/ctest.log"
); then failed+=("test suite without CUPS and glibc-only calls"); fi

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
if ! (
  # Set for the build too: it runs each test program once to list its tests.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$here/scripts/lsan.supp:print_suppressions=0
  export QT_QPA_PLATFORM=offscreen
  cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILTANA_SANITIZE=ON \
    -DQUILTANA_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$here/build-asan" -j "$jobs" &&
  cd "$here/build-asan" &&
  ctest --output-on-failure --no-tests=error -j "$jobs" | tee "$here/build-asan/ctest.log"
); then failed+=("sanitized test suite"); fi

echo "== fuzzing"
if ! bash "$here/scripts/fuzz.sh"; then failed+=("fuzzing"); fi

# One closing count over the suites, from ctest's own summaries.
passed=0; failedtests=0
for log in "$here/build-test/ctest.log" "$here/build-portable/ctest.log" "$here/build-asan/ctest.log"; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" 2>/dev/null | tail -n 1 || true)
  if [ -n "$line" ]; then
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    n=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + n - f)); failedtests=$((failedtests + f))
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  echo "$passed passed, $((failedtests > 0 ? failedtests : 1)) failed"
  exit 1
fi
echo "every stage passed"
echo "$passed passed, $failedtests failed"
