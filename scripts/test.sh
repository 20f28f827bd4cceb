#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test (unit and end-to-end) through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "${QVEX_BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300
