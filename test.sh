#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then the
# library tests again under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON -DPIXMEND_LIBRARY_ONLY=ON >/dev/null
cmake --build build-asan -j "$JOBS"

status=0
echo "== tests"
ctest --test-dir build --output-on-failure -j "$JOBS" || status=1
echo "== library tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L library || status=1

# The folder browser's worker threads: their tests under the address and
# undefined-behaviour sanitizers (built above with the library), then once
# under the thread sanitizer in a small configuration of their own (the
# library, the platform layer, the workers and their tests).
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXMEND_TSAN=ON -DPIXMEND_LIBRARY_ONLY=ON >/dev/null
cmake --build build-tsan -j "$JOBS" --target worker_tests
echo "== worker tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -L workers || status=1
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -L workers || status=1
exit $status
