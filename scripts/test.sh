#!/usr/bin/env bash
# Builds and runs the whole test suite.
#   scripts/test.sh            the release build (build/)
#   scripts/test.sh --asan     the same under AddressSanitizer and UBSan (build-asan/)
#   scripts/test.sh --tsan     the same under ThreadSanitizer (build-tsan/); not part of --all
#   scripts/test.sh --all      release and ASan, one after the other
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

mode=${1:-release}
case "$mode" in
  release|"") run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
  --asan)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DCELERRA_SANITIZE=ON -DCELERRA_BUILD_BENCH=OFF ;;
  --tsan)
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
    run_suite build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCELERRA_TSAN=ON -DCELERRA_BUILD_BENCH=OFF ;;
  --all)
    bash "$0"
    bash "$0" --asan ;;
  *) echo "usage: $0 [--asan|--tsan|--all]" >&2; exit 2 ;;
esac
