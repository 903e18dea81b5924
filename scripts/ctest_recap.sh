#!/bin/sh
# Runs ctest in the current build directory with the arguments given. When
# tests fail, the end of each failed test's output is printed once more after
# the summary, where the tail of a long log (as CI keeps it) still shows it.
ctest "$@" && exit 0
rc=$?
failed=Testing/Temporary/LastTestsFailed.log
log=Testing/Temporary/LastTest.log
[ -f "$failed" ] && [ -f "$log" ] || exit "$rc"
for name in $(cut -d: -f2- "$failed"); do
  echo "=== the end of the output of $name ==="
  awk -v name="$name" '/^[0-9]+\/[0-9]+ Testing: /{on = ($3 == name)} on' "$log" | tail -n 60
done
exit "$rc"
