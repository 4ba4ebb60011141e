#!/bin/sh
# Runs a Windows program under Wine for ctest: wine-run.sh <loader> <program>
# [arguments]. The output goes through a file: when a program happens to
# start Wine's background services, they inherit its output, and would hold
# ctest's pipe open long after it ended.
loader=$1
shift
out=$(mktemp) || exit 1
WINELOADER=$loader "$loader" "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
