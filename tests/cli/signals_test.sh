#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP close the window as the user would: the program
# ends with 0 and has saved its settings. A portable copy of the program in a
# directory of its own keeps the test away from the build's settings.
set -u
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/ostrekon"

# The signal is sent once the program has taken it over (SigCgt), not after
# a guessed delay: before that, it would simply kill the process.
catches() {
  local mask
  # The shell's own fork, before it runs the program, has handlers too.
  [ "$(readlink "/proc/$1/exe")" = "$dir/ostrekon" ] || return 1
  mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (( (0x$mask >> ($2 - 1)) & 1 ))
}

for sig in TERM INT HUP; do
  : >"$dir/ostrekon.ini"
  QT_QPA_PLATFORM=offscreen HOME="$dir" XDG_CONFIG_HOME="$dir/config" "$dir/ostrekon" &
  pid=$!
  number=$(kill -l "$sig")
  for _ in $(seq 1 300); do catches "$pid" "$number" && break; sleep 0.1; done
  catches "$pid" "$number" || { kill -9 "$pid"; fail "SIG$sig is never taken over"; }
  kill -s "$sig" "$pid"
  wait "$pid"; status=$?
  [ "$status" -eq 0 ] || fail "SIG$sig: the program ended with $status"
  grep -q '^\[Window\]' "$dir/ostrekon.ini" || fail "SIG$sig: the settings were not saved"
done
echo "quit signals: ok"
