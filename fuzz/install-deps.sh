#!/usr/bin/env bash
# Installs what the fuzz targets need beyond the project's own packages: clang and the
# compiler-rt package that carries libFuzzer (as root, idempotent).
set -euo pipefail

packages=(clang libclang-rt-14-dev libglib2.0-dev rapidjson-dev cmake pkg-config)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
