#!/bin/sh
# Runs every fuzz target for SECONDS on a copy of its seed corpus, so that
# the source tree is never written. Fails when any target finds a fault.
# Usage: run_fuzzers.sh BUILD_DIR [SECONDS]
set -eu
build=${1:?usage: run_fuzzers.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for seeds in "$here"/corpus/*/; do
  name=$(basename "$seeds")
  exe="$build/tests/fuzz/fuzz_$name"
  if [ ! -x "$exe" ]; then
    echo "missing $exe" >&2
    status=1
    continue
  fi
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  cp "$seeds"* "$work/$name/corpus/"
  echo "== $name: ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus" \
       >"$work/$name/log" 2>&1; then
    tail -n 40 "$work/$name/log" >&2
    for f in "$work/$name/artifacts/"*; do
      [ -f "$f" ] && echo "$name: $(basename "$f"): $(od -An -tx1 -v "$f" | tr -d ' \n')" >&2
    done
    status=1
  fi
  grep -E '^(Done|#[0-9]+ *DONE)' "$work/$name/log" || tail -n 1 "$work/$name/log"
done
exit $status
