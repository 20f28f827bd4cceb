#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test (unit and end-to-end) through CTest: on
# the normal build, then again on a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/, or $QVEX_ASAN_BUILD_DIR), after a short run of each fuzz target (build-fuzz/).
# Between the two it makes the Debian package with scripts/package.sh (left in build/).
# Every stage runs even when an earlier one fails; the exit status is non-zero if any failed.
# The output ends with the last CTest summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

failed=()

echo "== fuzz targets: short runs"
if ! { "$root/fuzz/build.sh" && "$root/fuzz/run.sh" --smoke; }; then
  failed+=("fuzz smoke runs")
fi

"$root/scripts/build.sh"
(cd "${QVEX_BUILD_DIR:-$root/build}" && ctest --output-on-failure -j"$(nproc)" --timeout 300) ||
  failed+=("tests")

echo "== Debian package"
"$root/scripts/package.sh" || failed+=("Debian package")

echo "== sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
asan_build=${QVEX_ASAN_BUILD_DIR:-$root/build-asan}
QVEX_BUILD_DIR=$asan_build QVEX_BUILD_TYPE=RelWithDebInfo "$root/scripts/build.sh" -DQVEX_SANITIZE=ON
(cd "$asan_build" && ctest --output-on-failure -j"$(nproc)" --timeout 300) ||
  failed+=("sanitizer tests")

if [ ${#failed[@]} -gt 0 ]; then
  echo "test.sh: FAILED: ${failed[*]}" >&2
  exit 1
fi
