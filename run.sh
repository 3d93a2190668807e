#!/usr/bin/env bash
# Installs what is missing, builds everything and starts Pixmend.
#   ./run.sh [photo.jpg]
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS=$(nproc 2>/dev/null || echo 4)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

if [ -x build/bin/Pixmend ]; then
  exec build/bin/Pixmend "$@"
fi
echo "Built the image library: build/bin/libKestrel28.so (the program is not built yet)."
