#!/usr/bin/env bash
# Installs what is needed, builds, and makes the Debian package qvexdesk_<version>_<arch>.deb
# with CPack in build/ (or $QVEX_BUILD_DIR); prints its path. It installs nothing on this
# machine: `apt install ./build/qvexdesk_*.deb` does that.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QVEX_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$build"
cpack -G DEB >cpack.log || { cat cpack.log >&2; exit 1; }
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' cpack.log)
[ -f "$deb" ] || { cat cpack.log >&2; echo "package.sh: no package made" >&2; exit 1; }
echo "$deb"
