#!/usr/bin/env bash
# Installs what the fuzz targets need beyond the project's own packages: clang and the
# compiler-rt package that carries libFuzzer (as root, idempotent).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/apt-install.sh" clang libclang-rt-14-dev libglib2.0-dev rapidjson-dev cmake pkg-config
