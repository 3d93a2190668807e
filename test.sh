#!/usr/bin/env bash
# Installs what is missing, builds the program and every test (not the
# benchmarks: see bench/README.md) and runs every test; then runs
# the library, engine, worker and dialog tests again under the address and
# undefined-behaviour sanitizers, the worker tests and the threaded render
# under the thread sanitizer, and the program's window at an X server under
# Xvfb.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen
# Every tool the tests use is installed now: a missing one fails its test.
export PIXMEND_REQUIRE_TOOLS=1

# Test programs that run again under ASan+UBSan (one sanitizer build of all).
SANITIZED_TESTS=(kestrel_tests platform_tests engine_tests mail_tests worker_tests dialogs_tests)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON -DPIXMEND_LIBRARY_ONLY=OFF >/dev/null
cmake --build build-asan -j "$JOBS" --target "${SANITIZED_TESTS[@]}"
# Of the program's tests, the command router's (the paste bitmap's memory,
# the clipboard conversion) and the text mode's (its dialog opened and closed
# in a row) run there too.
cmake --build build-asan -j "$JOBS" --target app_tests modes_tests x11_tests

# The worker threads under the thread sanitizer, in a small configuration of
# their own (the library, the platform layer, the workers and their tests).
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXMEND_TSAN=ON -DPIXMEND_LIBRARY_ONLY=ON >/dev/null
cmake --build build-tsan -j "$JOBS" --target worker_tests kestrel_tests

# Runs a test command (ctest, where each gtest case is a test of its own, or
# a test program); fails when a case fails or skips, as every photo and tool
# the tests need is there.
run_tests() {
  local log rc=0
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || rc=1
  if grep -Eq '\(Skipped\)$|^\[  SKIPPED \] [A-Za-z]' "$log"; then
    echo "error: skipped cases:" >&2
    grep -E '\(Skipped\)$|^\[  SKIPPED \] [A-Za-z]' "$log" >&2
    rc=1
  fi
  rm -f "$log"
  return $rc
}

status=0
echo "== tests"
run_tests ctest --test-dir build --output-on-failure -j "$JOBS" -LE x11 || status=1

echo "== tests with address and undefined-behaviour sanitizers"
pattern="^($(IFS='|'; echo "${SANITIZED_TESTS[*]}"))\\."
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 run_tests ctest --test-dir build-asan --output-on-failure -j "$JOBS" -R "$pattern" || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 run_tests build-asan/bin/app_tests \
  --gtest_filter='CommandsTest.*:ClipboardImageTest.*:TypingKeysFilterTest.*:HelpPathTest.*' || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 run_tests build-asan/bin/modes_tests --gtest_filter='ModeTextTest.*:ModePanelsTest.*' || status=1

echo "== tests at an X server (Xvfb, the xcb platform)"
run_tests ctest --test-dir build --output-on-failure -L x11 || status=1
# The same under the sanitizers (the macro editor closed with the mouse, Enter and Esc).
run_tests timeout 900 xvfb-run -a -s "-screen 0 1600x1200x24" env QT_QPA_PLATFORM=xcb \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=tests/x11/lsan.supp \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 PIXMEND_SANITIZED=1 build-asan/bin/x11_tests || status=1

echo "== worker tests with the thread sanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_tests ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -L workers || status=1
# The library's render, spread over threads.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_tests build-tsan/bin/kestrel_tests --gtest_filter='Render.LargeImagesOnThreads*' || status=1
exit $status
