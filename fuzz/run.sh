#!/usr/bin/env bash
# Runs the fuzz targets (built by fuzz/build.sh into build-fuzz/, or $QVEX_FUZZ_BUILD_DIR).
#
#   fuzz/run.sh TARGET [RUNS] [libFuzzer flags...]   one target, 10,000,000 executions by default
#   fuzz/run.sh all [RUNS]                           every target in turn
#   fuzz/run.sh --smoke                              CI: replay the corpus and the regression
#                                                    inputs, then a few seconds of each target
#
# New inputs go to build-fuzz/corpus/TARGET (fuzz/corpus/TARGET holds the checked-in seeds and
# is only read); a crashing input is saved as build-fuzz/artifacts/TARGET/crash-*. Exits
# non-zero when a target crashes.
set -euo pipefail
fuzz=$(cd "$(dirname "$0")" && pwd)
build=${QVEX_FUZZ_BUILD_DIR:-$fuzz/../build-fuzz}
targets=(zstring json extension_rewriter message_router_wire error_page)

usage() {
  echo "usage: $0 {$(IFS='|'; echo "${targets[*]}")|all} [RUNS] [libFuzzer flags...] | --smoke" >&2
  exit 2
}

# fuzz_one TARGET libFuzzer-flags...
fuzz_one() {
  local target=$1
  shift
  local binary=$build/${target}_fuzzer
  [ -x "$binary" ] || { echo "$binary is missing: run fuzz/build.sh first" >&2; exit 1; }
  local dict=()
  [ -f "$fuzz/dict/$target.dict" ] && dict=(-dict="$fuzz/dict/$target.dict")
  mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
  "$binary" -artifact_prefix="$build/artifacts/$target/" "${dict[@]}" "$@" \
    "$build/corpus/$target" "$fuzz/corpus/$target"
}

# Every checked-in input once: the seeds and each input that once crashed a target.
replay() {
  local target=$1
  local inputs=("$fuzz/corpus/$target"/*)
  [ -d "$fuzz/regressions/$target" ] && inputs+=("$fuzz/regressions/$target"/*)
  "$build/${target}_fuzzer" -runs=1 "${inputs[@]}" >/dev/null 2>"$build/replay-$target.log" || {
    cat "$build/replay-$target.log" >&2
    echo "fuzz: $target crashed on a checked-in input" >&2
    return 1
  }
}

[ $# -ge 1 ] || usage
case "$1" in
  --smoke)
    failed=()
    for target in "${targets[@]}"; do
      start=$(date +%s)
      if replay "$target" &&
         fuzz_one "$target" -runs=200000 -max_total_time=8 -print_final_stats=1 \
           >"$build/smoke-$target.log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/smoke-$target.log")
        echo "fuzz: $target ok, ${runs:-?} runs in $(( $(date +%s) - start )) s"
      else
        tail -n 60 "$build/smoke-$target.log" >&2 || true
        echo "fuzz: $target FAILED (log: $build/smoke-$target.log)" >&2
        failed+=("$target")
      fi
    done
    [ ${#failed[@]} -eq 0 ] || { echo "fuzz: failed: ${failed[*]}" >&2; exit 1; }
    ;;
  all)
    runs=${2:-10000000}
    for target in "${targets[@]}"; do
      fuzz_one "$target" -runs="$runs" -print_final_stats=1
    done
    ;;
  *)
    [[ " ${targets[*]} " == *" $1 "* ]] || usage
    target=$1
    runs=${2:-10000000}
    shift $(( $# >= 2 ? 2 : 1 ))
    fuzz_one "$target" -runs="$runs" -print_final_stats=1 "$@"
    ;;
esac
