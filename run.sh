#!/usr/bin/env bash
# Installs what is missing, builds everything and starts Pixmend.
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
  cmake --build build -j "$JOBS"
)

if [ -x "$here/build/bin/Pixmend" ]; then
  exec "$here/build/bin/Pixmend" "$@"
fi
echo "Built the image library: build/bin/libKestrel28.so (the program is not built yet)."
