#!/bin/sh
# The ABI guard: compares a built libbrindle.so with the ABI kept in
# abi/libbrindle.abi (abidw and abidiff, from Debian's abigail-tools). An
# incompatible change fails: it may land only with a new SOVERSION (the
# major version in include/brindle/version.h) and the baseline renewed in
# the same commit. Additions pass, and are kept at the next renewal.
#
#   scripts/abi.sh <build folder>            checks the build's library
#   scripts/abi.sh --renew <build folder>    writes the baseline from it
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
renew=0
if [ "${1:-}" = "--renew" ]; then
  renew=1
  shift
fi
[ $# -eq 1 ] || { echo "usage: $0 [--renew] <build folder>" >&2; exit 2; }
library=$(readlink -f "$1/libbrindle.so")
baseline=$root/abi/libbrindle.abi
# The baseline: only what the public headers declare and the library
# exports, with no source locations, so that it is the same from any clone.
headers="--headers-dir $root/include/brindle --drop-private-types"

if [ "$renew" -eq 1 ]; then
  # shellcheck disable=SC2086
  abidw $headers --exported-interfaces-only --type-id-style hash --no-corpus-path --no-show-locs \
    --no-comp-dir-path "$library" >"$baseline.tmp"
  mv "$baseline.tmp" "$baseline"
  echo "renewed $baseline from $library"
  exit 0
fi

soname() { sed -n "s/.* soname='\([^']*\)'.*/\1/p" "$1" | head -n 1; }
built=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
kept=$(soname "$baseline")
if [ "$built" != "$kept" ]; then
  echo "the library's SONAME is $built, the baseline's $kept: renew the baseline in the commit that changes the SOVERSION ($0 --renew <build folder>)"
  exit 1
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
# The baseline holds only the public types; the library is read whole (its
# header filter would hide a change from a baseline that keeps no locations).
abidiff "$baseline" "$library" >"$report" 2>&1 || status=$?
if [ $((status & 3)) -ne 0 ]; then
  cat "$report"
  echo "abidiff failed (status $status)"
  exit 1
fi
if [ $((status & 8)) -ne 0 ]; then
  cat "$report"
  echo "an incompatible ABI change under the SONAME $built: keep the ABI, or change the SOVERSION and renew the baseline"
  exit 1
fi
if [ $((status & 4)) -ne 0 ]; then
  grep -E 'Functions changes summary|Variables changes summary' "$report" || true
  echo "ABI: compatible additions since the baseline ($baseline)"
else
  echo "ABI: the same as the baseline ($baseline)"
fi
