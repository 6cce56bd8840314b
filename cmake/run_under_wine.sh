#!/bin/sh
# CTest's way into a Windows test program: run_under_wine.sh WINE PROGRAM ARGS...
#
# Now and then (once in about three thousand starts on the CI machine) Wine
# ends a program with a failure code before it has written anything; a gtest
# program's first line comes before any test runs, so such a start ran no
# test. It is started once more, and the second start's outcome is the
# result. A program that wrote anything keeps its outcome, failures included.
wine=$1
shift
out=$(mktemp) && err=$(mktemp) || exit 125
trap 'rm -f "$out" "$err"' EXIT
"$wine" "$@" >"$out" 2>"$err"
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "run_under_wine: $1 ended with status $status before writing anything; starting it again" >&2
  "$wine" "$@" >"$out" 2>"$err"
  status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
