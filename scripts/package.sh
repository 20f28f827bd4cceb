#!/usr/bin/env bash
# Installs what is needed, builds, and makes the Debian package qvexdesk_<version>_<arch>.deb
# with CPack in build/ (or $QVEX_BUILD_DIR), and beside it the sample project's own package
# (qvexdesk --package); prints both paths, the shell's first. It installs nothing on this
# machine: `apt install ./build/qvexdesk_*.deb ./build/dev.quenvale.sample_*.deb` does that.
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
# The sample ships as any project ships: made by the shell that was just built.
# Its dates are the last commit's, so the same sources give the same package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)} \
  QVEX_PROJPATH="$root/examples/sample-app" "$build/qvexdesk" --package --out="$(dirname "$deb")"
