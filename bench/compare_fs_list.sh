#!/usr/bin/env bash
# `fs list` of a large server, side by side: the raw transfer with curl (the
# floor: login and the same request, nothing parsed), celerractl --json with
# and without compressed replies, the Python reference client
# (bench/fs_list_client.py) and the Python package `celerra` on libcelerra
# (bench/fs_list_celerra.py), each against the same celerra-sim --scale N.
# Prints the median wall time and the largest peak RSS of RUNS runs, and how
# the package compares with the reference client; those two run by turns.
#
#   bench/compare_fs_list.sh [SCALE...]     default: 5000 25000 (10,006 and 50,006 file systems)
#
# Environment: BUILD (default build) holds bin/celerra-sim and
# bin/celerractl and lib/libcelerra.so; BEFORE, another celerractl to compare
# (for instance a build of an earlier commit); RUNS (default 5); PYTHON
# (default /usr/bin/python3), the interpreter of both Python clients.
# Needs curl, python3 and GNU time (/usr/bin/time; Debian package `time`).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
runs=${RUNS:-5}
scales=("$@")
[ ${#scales[@]} -gt 0 ] || scales=(5000 25000)
python=${PYTHON:-/usr/bin/python3}
for tool in curl "$python" /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "compare_fs_list: $tool is missing" >&2; exit 2; }
done

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The document celerractl sends for the list (CelerraXMLGetFSInfoReq).
printf '<?xml version="1.0"?>\n<RequestPacket xmlns="urn:celerra:xml-api:v1">\n\t<Request>\n\t\t<Query>\n\t\t\t<FileSystemQueryParams>\n\t\t\t\t<AspectSelection fileSystems="true" fileSystemCapacityInfos="true" fileSystemCapabilities="true"/>\n\t\t\t</FileSystemQueryParams>\n\t\t</Query>\n\t</Request>\n</RequestPacket>\n\n' >"$work/request.xml"

export CELERRA_USER=admin CELERRA_PASSWORD=bench-pw SIM_PASSWORD=bench-pw

# The package as an install has it: with its bytecode (pip and Debian's
# packaging compile it when they install). Run from the source tree with
# PYTHONDONTWRITEBYTECODE set, every run would compile it first.
cp -r python/celerra "$work/celerra"
"$python" -m compileall -q "$work/celerra"

# One run of "$@", its standard output into $1: sets $ms and $rss (KB).
run_once() {
  local out=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/rss" "$@" >"$out"
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  rss=$(tail -n 1 "$work/rss")
}
median_of() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'; }
in_mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k/1024}'; }

# Runs the commands of the arrays named in "$@" by turns, RUNS times each,
# so that the machine's changing load falls on all alike: sets medians[k]
# and peaks[k] of the k-th (from 0), and leaves its last output in
# $work/out.k.
measure_by_turns() {
  local names=("$@") i k
  local -a times peak_kb
  medians=() peaks=()
  for ((i = 0; i < runs; i++)); do
    for k in "${!names[@]}"; do
      local -n command=${names[k]}
      run_once "$work/out.$k" "${command[@]}"
      times[k]="${times[k]:-} $ms"
      ((rss > ${peak_kb[k]:-0})) && peak_kb[k]=$rss
      unset -n command
    done
  done
  for k in "${!names[@]}"; do
    medians[k]=$(median_of ${times[k]})
    peaks[k]=$(in_mb "${peak_kb[k]}")
  done
}

# Runs "$@" RUNS times; sets $median (seconds) and $peak (MB), and leaves
# the last run's standard output in $work/out.
measure() {
  local alone=("$@")
  measure_by_turns alone
  median=${medians[0]} peak=${peaks[0]}
  cp "$work/out.0" "$work/out"
}

row() { printf '%-58s %8s s %9s MB  %s\n' "$1" "$median" "$peak" "${2:-}"; }

for scale in "${scales[@]}"; do
  "$build/bin/celerra-sim" --scale "$scale" --user admin --password-env SIM_PASSWORD >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do grep -q "listening on" "$work/sim.out" && break; sleep 0.1; done
  host=$(sed -n 's|listening on https://||p' "$work/sim.out")
  [ -n "$host" ] || { echo "compare_fs_list: celerra-sim did not start" >&2; exit 1; }
  export CELERRA_HOST=$host

  # One curl process: the login, then the list request on the same
  # connection with the session cookie; the reply is counted, not kept.
  login=(curl -sk -b '' -d "user=admin&password=$CELERRA_PASSWORD&Login=login" "https://$host/Login" -o /dev/null
         --next -sk -b '' -H 'Content-Type: text/xml' --data-binary @"$work/request.xml" -o /dev/null
         -w '%{size_download}\n')
  list="https://$host/servlets/CelerraManagementServices"
  echo "== celerra-sim --scale $scale"
  measure "${login[@]}" "$list"
  row "curl (floor)" "$(cat "$work/out") bytes"
  measure "${login[@]}" --compressed "$list"
  row "curl --compressed (floor)" "$(cat "$work/out") bytes"

  measure "$build/bin/celerractl" --json fs list
  cp "$work/out" "$work/ctl.json"
  row "celerractl --json fs list" "$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))), "records")' "$work/ctl.json")"
  measure env sCELERRACOMPRESSION=no "$build/bin/celerractl" --json fs list
  row "celerractl, replies not compressed"
  if [ -n "${BEFORE:-}" ]; then
    measure "$BEFORE" --json fs list
    cmp -s "$work/out" "$work/ctl.json" && same="same output" || same="OUTPUT DIFFERS"
    row "before: $BEFORE" "$same"
  fi
  # The two Python clients: with the same JSON output, then listing only
  # (FS_LIST_COUNT=1: each client's own records are made, their number
  # printed), since formatting the JSON costs both the same. Both run in the
  # same environment, the package's location included.
  export PYTHONPATH="$work" CELERRA_LIBRARY="$build/lib/libcelerra.so"
  # The package also with its replies not compressed: the same bytes on the
  # wire as the reference client (urllib asks for none). On loopback the
  # compression costs more than it saves; on a network it saves 97% of them.
  reference=("$python" bench/fs_list_client.py "$host" admin)
  package=("$python" bench/fs_list_celerra.py "$host" admin)
  plain=(env sCELERRACOMPRESSION=no "$python" bench/fs_list_celerra.py "$host" admin)
  for count in "" 1; do
    export FS_LIST_COUNT=$count
    label=${count:+", listing only"}
    measure_by_turns reference package plain
    if [ -z "$count" ]; then
      cmp -s "$work/out.0" "$work/ctl.json" && same="same output" || same="output differs from celerractl's"
    else
      same="$(cat "$work/out.0") records"
    fi
    median=${medians[0]} peak=${peaks[0]}
    row "python3 bench/fs_list_client.py$label" "$same"
    for k in 1 2; do
      cmp -s "$work/out.$k" "$work/out.0" && same="same output as the reference" || same="OUTPUT DIFFERS"
      median=${medians[k]} peak=${peaks[k]}
      row "python3 bench/fs_list_celerra.py$label$([ $k = 2 ] && echo ", not compressed")" "$same"
    done
    for k in 1 2; do
      awk -v t="${medians[0]}" -v p="${peaks[0]}" -v t2="${medians[k]}" -v p2="${peaks[k]}" -v l="$label" \
        -v c="$([ $k = 2 ] && echo " (replies not compressed)")" \
        'BEGIN {printf "the package%s against the reference client%s: %.1fx faster, %.2fx the memory\n", c, l, t/t2, p2/p}'
    done
  done
  unset FS_LIST_COUNT PYTHONPATH CELERRA_LIBRARY

  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
done
