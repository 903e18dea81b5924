#!/usr/bin/env bash
# The command line without a display: --help and --version print and end
# with 0, anything unknown ends with 2 and says why.
set -u
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

out=$(run --help) || fail "--help exited with $?"
grep -q '^Usage: ostrekon' <<<"$out" || fail "--help printed: $out"
out=$(run --version) || fail "--version exited with $?"
[ "$out" = "ostrekon 0.9" ] || fail "--version printed: $out"
for bad in --bogus -x stray; do
  err=$(run "$bad" 2>&1 >/dev/null); status=$?
  [ $status -eq 2 ] || fail "$bad exited with $status"
  grep -q "ostrekon --help" <<<"$err" || fail "$bad said: $err"
done
echo "command line: ok"
