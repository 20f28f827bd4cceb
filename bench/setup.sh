#!/usr/bin/env bash
# Installs what the benchmarks need beyond the project's own packages: Debian's chromium for
# the comparison and the XFixes headers for the clipboard part (as root or through
# sudo, idempotent).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/apt-install.sh" --no-install-recommends chromium procps libxfixes-dev
