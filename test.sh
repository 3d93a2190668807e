#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then the
# library and engine tests again under the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMEND_SANITIZE=ON \
  -DPIXMEND_LIBRARY_ONLY=OFF -DPIXMEND_NO_WIDGETS=ON >/dev/null
cmake --build build-asan -j "$JOBS"

status=0
echo "== tests"
ctest --test-dir build --output-on-failure -j "$JOBS" || status=1
echo "== library and engine tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PIXMEND_SANITIZED=1 ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L 'library|engine' || status=1
exit $status
