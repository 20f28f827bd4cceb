#!/usr/bin/env bash
# Benchmarks: installs what they need, builds the shell and the bench's own programs, and
# measures qvexdesk against a bare WebKitGTK window and chromium --app. Arguments go to
# bench.py (for example --runs 7, --only start).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QVEX_BUILD_DIR=${QVEX_BUILD_DIR:-$root/build-bench}
out=$QVEX_BUILD_DIR/bench

"$root/bench/setup.sh"
echo "bench: building the shell into $QVEX_BUILD_DIR"
"$root/scripts/build.sh"

# The bench's own programs: the bare WebKitGTK window, its extension answering rawPing, and a
# clock extension (benchNow, benchNop) added to the copies of the shell that time the bridge.
mkdir -p "$out/ext" "$out/instr/webext"
cflags=(-O2 -g -Wall -Wextra -Wno-unused-parameter)
cc "${cflags[@]}" -o "$out/bare_webkit" "$root/bench/bare_webkit.c" \
  $(pkg-config --cflags --libs webkit2gtk-4.1)
ext_flags=$(pkg-config --cflags --libs webkit2gtk-web-extension-4.1)
cc "${cflags[@]}" -shared -fPIC -o "$out/ext/libbare-ext.so" "$root/bench/bare_ext.c" $ext_flags
cc "${cflags[@]}" -shared -fPIC -o "$out/ext/libbench-clock.so" "$root/bench/bench_clock.c" $ext_flags
cc "${cflags[@]}" -o "$out/clip_watch" "$root/bench/clip_watch.c" $(pkg-config --cflags --libs x11 xfixes)

# Copies of the shell with the clock module beside its own: WebKit loads every module of the
# folder beside the executable, so the build's own folder stays untouched.
cp "$QVEX_BUILD_DIR/qvexdesk" "$QVEX_BUILD_DIR/qvexdesk_testvariant" "$out/instr/"
cp "$QVEX_BUILD_DIR/webext/libqvexdesk-webext.so" "$out/ext/libbench-clock.so" "$out/instr/webext/"

echo "bench: measuring (a few minutes)"
timeout 900 python3 "$root/bench/bench.py" --build-dir "$QVEX_BUILD_DIR" \
  --json "$out/results.json" --markdown "$out/results.md" "$@"
echo "bench: figures also in $out/results.md"
