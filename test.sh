#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then the
# library and dialog tests again under the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON -DPIXMEND_LIBRARY_ONLY=ON >/dev/null
cmake --build build-asan -j "$JOBS"

# The operation pages and sheets under the sanitizers too: pages outlive
# their windows and hosts, so their lifetimes are checked there.
cmake -S . -B build-asan-qt -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON >/dev/null
cmake --build build-asan-qt -j "$JOBS" --target dialogs_tests

status=0
echo "== tests"
ctest --test-dir build --output-on-failure -j "$JOBS" || status=1
echo "== library tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L library || status=1
echo "== dialog tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 ctest --test-dir build-asan-qt --output-on-failure -R '^dialogs_tests$' || status=1
exit $status
