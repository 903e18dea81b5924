#!/usr/bin/env bash
# The command line without a display: --help and --version print and end
# with 0, anything unknown ends with 2 and says why. Every text is Japanese,
# as the window's are.
set -u
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

for help in --help -h --help-all; do
  out=$(run "$help") || fail "$help exited with $?"
  grep -q '^使い方: ostrekon' <<<"$out" || fail "$help printed: $out"
  [ "$(grep -Ec '^ +-(h, --help|v, --version) +[^ ]' <<<"$out")" = 2 ] || fail "$help lists: $out"
  ! grep -Eqi 'usage|options:|displays' <<<"$out" || fail "$help has English in it: $out"
done
out=$(run --version) || fail "--version exited with $?"
[ "$out" = "ostrekon 0.9" ] || fail "--version printed: $out"
while read -r bad says; do
  err=$(run "$bad" 2>&1 >/dev/null); status=$?
  [ $status -eq 2 ] || fail "$bad exited with $status"
  grep -qF "$says" <<<"$err" || fail "$bad said: $err"
  grep -q "詳しくは 'ostrekon --help' を実行してください。" <<<"$err" || fail "$bad said: $err"
done <<'ROWS'
--bogus 不明なオプションです: --bogus
-x 不明なオプションです: -x
stray 余分な引数があります: stray
-platform オプションの値の指定が正しくありません。
ROWS
echo "command line: ok"
