#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then runs
# the library, engine, worker and dialog tests again under the address and
# undefined-behaviour sanitizers, and the worker tests and the threaded
# render under the thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen

# Test programs that run again under ASan+UBSan (one sanitizer build of all).
SANITIZED_TESTS=(kestrel_tests platform_tests engine_tests mail_tests worker_tests dialogs_tests)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON -DPIXMEND_LIBRARY_ONLY=OFF >/dev/null
cmake --build build-asan -j "$JOBS" --target "${SANITIZED_TESTS[@]}"
# Of the main window's tests, the command router's (the paste bitmap's
# memory, the clipboard conversion) and the text mode's (its dialog opened
# and closed in a row) run there too.
cmake --build build-asan -j "$JOBS" --target mainwindow_tests

# The worker threads under the thread sanitizer, in a small configuration of
# their own (the library, the platform layer, the workers and their tests).
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXMEND_TSAN=ON -DPIXMEND_LIBRARY_ONLY=ON >/dev/null
cmake --build build-tsan -j "$JOBS" --target worker_tests kestrel_tests

status=0
echo "== tests"
ctest --test-dir build --output-on-failure -j "$JOBS" || status=1

echo "== tests with address and undefined-behaviour sanitizers"
pattern="^($(IFS='|'; echo "${SANITIZED_TESTS[*]}"))\$"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 ctest --test-dir build-asan --output-on-failure -j "$JOBS" -R "$pattern" || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 build-asan/bin/mainwindow_tests \
  --gtest_filter='CommandsTest.*:ClipboardImageTest.*:TypingKeysFilterTest.*:HelpPathTest.*:ModeTextTest.*:ModePanelsTest.*' || status=1

echo "== worker tests with the thread sanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -L workers || status=1
# The library's render, spread over threads.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build-tsan/bin/kestrel_tests --gtest_filter='Render.LargeImagesOnThreads*' || status=1
exit $status
