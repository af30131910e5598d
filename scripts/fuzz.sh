#!/usr/bin/env bash
# Runs every response-parse fuzzer (libFuzzer, AddressSanitizer, UBSan) on a
# copy of the seed corpus.
#   scripts/fuzz.sh [SECONDS] [JOBS]
# SECONDS per harness (default 20), JOBS harnesses at a time (default 2).
# Prints one line per harness (executions, coverage, findings); every crash,
# leak, time-out or out-of-memory input is kept under fuzz/crashes/<class>/.
# Exit status 1 when any harness found something, 2 on bad arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-20}
jobs=${2:-2}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ && "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS] [JOBS]" >&2
  exit 2
fi

CELERRA_FUZZ=1 bash scripts/setup.sh

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -Dfuzz=ON -DBUILD_TESTING=OFF -DCELERRA_BUILD_TOOLS=OFF -DCELERRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_all -j "$jobs"

harnesses=()
for f in "$build"/bin/fuzz_*; do
  [ -x "$f" ] && harnesses+=("$(basename "$f")")
done
if [ ${#harnesses[@]} -eq 0 ]; then
  echo "fuzz: no harnesses were built" >&2
  exit 1
fi

run=$build/fuzz-run
rm -rf "$run"
mkdir -p "$run"
# A finding stops the harness; a report without a stack trace is still kept.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# One harness: the fuzzer on its own corpus copy, bounded by an outer
# time-out in case it never comes back. Writes $dir/result.
fuzz_one() {
  local name=$1 cls=${1#fuzz_} dir=$run/$1
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp fuzz/corpus/* "$dir/corpus/" 2>/dev/null || true
  local rc=0
  timeout -k 10 $((seconds + 120)) "$build/bin/$name" "$dir/corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1 || rc=$?

  local execs cov ft last findings=0
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$dir/log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  local kept=()
  for a in "$dir"/artifacts/crash-* "$dir"/artifacts/leak-* "$dir"/artifacts/timeout-* "$dir"/artifacts/oom-*; do
    [ -f "$a" ] || continue
    mkdir -p "fuzz/crashes/$cls"
    cp "$a" "fuzz/crashes/$cls/"
    kept+=("fuzz/crashes/$cls/$(basename "$a")")
    findings=$((findings + 1))
  done
  local note=""
  if [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ]; then
    findings=1
    if [ "$rc" -ge 124 ]; then note=" (hung: killed after $((seconds + 120)) s)"; else note=" (exit $rc)"; fi
  fi
  printf '%-45s execs %10s  cov %6s  ft %6s  findings %d%s%s\n' "$cls" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$findings" "$note" "${kept[*]:+  -> ${kept[*]}}" >"$dir/result"
  if [ "$findings" -gt 0 ]; then echo fail >"$dir/failed"; fi
}

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT INT TERM

echo "fuzz: ${#harnesses[@]} harnesses, $seconds s each, $jobs at a time"
running=0
for h in "${harnesses[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$h" &
  pids+=($!)
  running=$((running + 1))
done
wait || true
trap - EXIT INT TERM

failed=0
for h in "${harnesses[@]}"; do
  if [ -f "$run/$h/result" ]; then cat "$run/$h/result"; else echo "${h#fuzz_}: no result"; failed=1; fi
  if [ -f "$run/$h/failed" ]; then
    failed=1
    echo "  log: $root/$run/$h/log"
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings (inputs kept under fuzz/crashes/)" >&2
  exit 1
fi
echo "fuzz: no findings"
