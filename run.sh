#!/usr/bin/env bash
# Installs what is missing, builds the program and its library (not the tests
# or benchmarks) and starts Pixmend.
#   ./run.sh [photo.jpg]
# The program starts in the caller's folder, so relative names given to it
# are found where the caller sees them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

(
  cd "$here"
  ./scripts/install-deps.sh
  JOBS=$(nproc 2>/dev/null || echo 4)
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # The program loads libKestrel28.so from its own folder.
  cmake --build build -j "$JOBS" --target Pixmend Kestrel28
)

exec "$here/build/bin/Pixmend" "$@"
