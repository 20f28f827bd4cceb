#!/usr/bin/env bash
# Installs clang if needed and builds the fuzz targets into build-fuzz/ (or $QVEX_FUZZ_BUILD_DIR).
set -euo pipefail
fuzz=$(cd "$(dirname "$0")" && pwd)
build=${QVEX_FUZZ_BUILD_DIR:-$fuzz/../build-fuzz}
"$fuzz/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
