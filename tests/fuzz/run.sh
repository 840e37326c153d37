#!/usr/bin/env bash
# Runs each fuzz target for a bounded time and fails if any of them finds something.
#
#   tests/fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
#
# The corpus lives under $FUZZ_WORK (default BUILD_DIR/fuzz-work): one folder per target
# that grows from run to run, and the seeds, copied afresh from the test programs and the
# examples. Crashes, leaks, timeouts and sanitizer reports are written to
# $FUZZ_WORK/artifacts, and the target's log to $FUZZ_WORK/<target>.log.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:?usage: run.sh BUILD_DIR [SECONDS] [TARGET...]}" && pwd)"
seconds="${2:-60}"
shift $(( $# >= 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(front_fuzz check_fuzz run_fuzz)
work="${FUZZ_WORK:-$build/fuzz-work}"

mkdir -p "$work/seeds" "$work/artifacts"
find "$root/tests/programs" "$root/examples" -name '*.ruk' -print0 |
  while IFS= read -r -d '' f; do
    rel="${f#"$root"/}"
    cp "$f" "$work/seeds/${rel//\//_}"
  done

status=0
for t in "${targets[@]}"; do
  mkdir -p "$work/corpus/$t"
  echo "== $t for ${seconds}s (log: $work/$t.log)"
  ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}" \
    "$build/tests/fuzz/$t" -dict="$here/ruk.dict" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$t-" "$work/corpus/$t" "$work/seeds" \
      >"$work/$t.log" 2>&1
  rc=$?
  grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$work/$t.log" | tail -n 1
  grep -E '^stat::' "$work/$t.log"
  if [ $rc -ne 0 ]; then
    echo "== $t FAILED (status $rc):"
    grep -E -A30 '^==[0-9]+==|^==== |runtime error|Test unit written' "$work/$t.log" | head -n 60
    status=1
  fi
done
exit $status
