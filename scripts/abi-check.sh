#!/usr/bin/env bash
# Compares the exported interface of a built libcelerra.so (the C++ facade,
# the snapshot-device-name entry points and the C interface, with every type
# they reach) with the baseline kept in abi/libcelerra.abi.
#   scripts/abi-check.sh [BUILD_DIR]           compare (default build/)
#   scripts/abi-check.sh --update [BUILD_DIR]  make the library of BUILD_DIR the baseline
#
# Passes when the interface is unchanged or only gained functions or
# variables. Fails on anything removed or changed (a function's parameters, a
# struct's or class's size or members, an enumerator), unless the library's
# major version (its SONAME) changed too: callers then relink anyway. The
# library's own types that the headers name only to hold a pointer are left
# out (abi/suppressions.ini). An
# addition is reported; regenerate the baseline with --update once it is on
# main, so that the next change is measured against it. The baseline is made
# from the release build (RelWithDebInfo: the type information comes from
# its debug information) by Debian 12's compiler and abigail-tools.
set -euo pipefail
cd "$(dirname "$0")/.."

update=0
if [ "${1:-}" = --update ]; then
  update=1
  shift
fi
build=${1:-build}
baseline=abi/libcelerra.abi
lib=$(readlink -f "$build/lib/libcelerra.so")
[ -f "$lib" ] || { echo "abi-check: no $build/lib/libcelerra.so; build it first" >&2; exit 2; }

if [ $update = 1 ]; then
  mkdir -p abi
  abidw --no-corpus-path --out-file "$baseline" "$lib"
  echo "abi-check: $baseline now describes $(basename "$lib")"
  exit 0
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
abidw --no-corpus-path --out-file "$tmp/current.abi" "$lib"
soname() { sed -n "s/.*<abi-corpus .*soname='\([^']*\)'.*/\1/p" "$1" | head -1; }

status=0
abidiff --suppressions abi/suppressions.ini "$baseline" "$tmp/current.abi" >"$tmp/report" || status=$?
# abidiff's exit status is a bit set: 1 error, 2 usage, 4 a change, 8 an
# incompatible change (a symbol removed).
if [ $((status & 3)) -ne 0 ]; then
  cat "$tmp/report" >&2
  echo "abi-check: abidiff failed (status $status)" >&2
  exit 2
fi
if [ "$status" = 0 ]; then
  echo "abi-check: the exported interface matches $baseline"
  exit 0
fi
cat "$tmp/report"
# A change that is not an incompatible one by abidiff's measure may still be
# one (a struct that grew); only additions are let through.
if [ $((status & 8)) -eq 0 ] && ! grep -Eq '[1-9][0-9]* (Removed|Changed)' "$tmp/report"; then
  echo "abi-check: only additions; run scripts/abi-check.sh --update to take them into $baseline"
  exit 0
fi
if [ "$(soname "$baseline")" != "$(soname "$tmp/current.abi")" ]; then
  echo "abi-check: incompatible, with a new major version ($(soname "$tmp/current.abi")); run --update"
  exit 0
fi
echo "abi-check: an incompatible change of the exported interface without a new major version" >&2
exit 1
