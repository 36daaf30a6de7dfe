#!/usr/bin/env bash
# Installs what is missing, builds Quiltana with its tests and runs every test:
#   1. the test suite in a normal build;
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer: any report,
#      leaks included, fails the run;
#   3. each libFuzzer target for a bounded time (FUZZ_SECONDS, 30 by default; scripts/fuzz.sh).
# Every stage runs even when an earlier one failed, so that one run shows every failure; the
# run fails when any stage did.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" test
jobs=$(nproc)
failed=()

# A real print queue for the tests that send jobs through CUPS: a PDF queue (cups-pdf) named
# QuiltanaTest, never made the default. Best effort: where no scheduler can be had, those
# tests skip and say why. What this script starts or adds, it removes at the end.
started_cupsd=""
added_queue=""
cleanup_cups() {
  [ -n "$added_queue" ] && timeout 30 lpadmin -x QuiltanaTest >/dev/null 2>&1 || true
  [ -n "$started_cupsd" ] && pkill -x cupsd >/dev/null 2>&1 || true
}
trap cleanup_cups EXIT
if command -v lpadmin >/dev/null 2>&1 && [ -x /usr/sbin/cupsd ]; then
  if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    timeout 20 /usr/sbin/cupsd >/dev/null 2>&1 && started_cupsd=1
    for _ in 1 2 3 4 5 6 7 8 9 10; do lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 1; done
  fi
  if ! lpstat -p QuiltanaTest >/dev/null 2>&1; then
    model=$(timeout 30 lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt/ {print $1; exit}' || true)
    if [ -n "$model" ] && timeout 30 lpadmin -p QuiltanaTest -v cups-pdf:/ -E -m "$model" >/dev/null 2>&1; then
      added_queue=1
    fi
  fi
fi
export QUILTANA_TEST_PRINTER=QuiltanaTest
rm -f "$here/build-test/ctest.log" "$here/build-asan/ctest.log"

echo "== test suite"
if ! (
  # (errexit does not hold inside an if, hence the chain)
  cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build "$here/build-test" -j "$jobs" &&
  cd "$here/build-test" &&
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j "$jobs" | tee "$here/build-test/ctest.log"
); then failed+=("test suite"); fi

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
if ! (
  # Set for the build too: it runs each test program once to list its tests.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$here/scripts/lsan.supp:print_suppressions=0
  export QT_QPA_PLATFORM=offscreen
  cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILTANA_SANITIZE=ON >/dev/null &&
  cmake --build "$here/build-asan" -j "$jobs" &&
  cd "$here/build-asan" &&
  ctest --output-on-failure --no-tests=error -j "$jobs" | tee "$here/build-asan/ctest.log"
); then failed+=("sanitized test suite"); fi

echo "== fuzzing"
if ! bash "$here/scripts/fuzz.sh"; then failed+=("fuzzing"); fi

# One closing count over both suites, from ctest's own summaries.
passed=0; failedtests=0
for log in "$here/build-test/ctest.log" "$here/build-asan/ctest.log"; do
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
