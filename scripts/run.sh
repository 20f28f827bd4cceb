#!/usr/bin/env bash
# Installs what is needed, builds, and runs the shell on the bundled sample project; the shell
# starts the project's own backend (examples/sample-app/backend/server.py), which serves the
# front end. Without a DISPLAY the shell runs for a few seconds in a private Xvfb and a
# screenshot is saved instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QVEX_BUILD_DIR:-$root/build}
project="$root/examples/sample-app"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

export QVEX_PROJPATH="$project"
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/qvexdesk" "$@"
fi

# No display: show it in a private X server and take a picture.
shot="$build/sample-app.png"
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r display <&3
export DISPLAY=":$display"
"$build/qvexdesk" "$@" &
shell=$!
pids+=($shell)
sleep "${QVEX_RUN_SECONDS:-6}"
import -window root -crop 800x600+0+0 "$shot"
kill "$shell" 2>/dev/null || true
wait "$shell" 2>/dev/null || true
echo "No DISPLAY: ran the shell for ${QVEX_RUN_SECONDS:-6} s under Xvfb; screenshot saved to $shot"
