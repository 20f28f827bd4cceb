#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing (as root or through sudo);
# idempotent. A leading --no-install-recommends is passed on to apt-get.
#   scripts/apt-install.sh [--no-install-recommends] PACKAGE...
set -euo pipefail

apt_flags=()
if [ "${1:-}" = "--no-install-recommends" ]; then
  apt_flags+=("$1")
  shift
fi

missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "apt-install: all $# packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${apt_flags[@]}" "${missing[@]}"
