#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP close the window as the user would: the program
# ends with 0 and has saved its settings. A portable copy of the program in a
# directory of its own keeps the test away from the build's settings.
set -u
program=$1
. "$(dirname "$0")/../support/quit_signal.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/ostrekon"

for sig in TERM INT HUP; do
  : >"$dir/ostrekon.ini"
  QT_QPA_PLATFORM=offscreen HOME="$dir" XDG_CONFIG_HOME="$dir/config" "$dir/ostrekon" &
  pid=$!
  wait_for_handler "$pid" "$dir/ostrekon" "$sig" || { kill -9 "$pid"; fail "SIG$sig is never taken over"; }
  kill -s "$sig" "$pid"
  wait "$pid"; status=$?
  [ "$status" -eq 0 ] || fail "SIG$sig: the program ended with $status"
  grep -q '^\[Window\]' "$dir/ostrekon.ini" || fail "SIG$sig: the settings were not saved"
done
echo "quit signals: ok"
