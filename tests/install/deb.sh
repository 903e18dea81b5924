#!/bin/sh
# The Debian package built by CPack: its name, control fields and files.
. "$(dirname "$0")/common.sh"

cpack --config "$build/CPackConfig.cmake" -B "$tmp" -G DEB >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$tmp/ostrekon_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$tmp")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ostrekon ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = net ] || fail "Section: $(field Section)"
depends=$(field Depends)
for p in libqt6widgets6 libc-ares2 fonts-ipafont-gothic; do
  echo ", $depends," | grep -Eq ", $p( \([^)]*\))?," || fail "Depends lacks $p: $depends"
done

# dpkg-deb -c: permissions owner size date time path; keep files and links.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort > "$tmp/got"
expected | sed 's|^|usr/|' > "$tmp/want"
diff -u "$tmp/want" "$tmp/got" || fail "files in $(basename "$deb")"

# Nothing packaged is setuid or setgid. postinst gives the helper alone
# cap_net_raw; without setcap it gives nothing, says what to run, and succeeds.
dpkg-deb -c "$deb" | awk '$1 ~ /[sS]/' | grep . && fail "setuid or setgid files in the package"
dpkg-deb -e "$deb" "$tmp/control" && dpkg-deb -x "$deb" "$tmp/root"
[ -x "$tmp/control/postinst" ] || fail "no executable postinst"
postinst() { DPKG_ROOT=$tmp/root PATH=$1 /bin/sh "$tmp/control/postinst" configure 2>&1; }
helper=$tmp/root/usr/libexec/ostrekon/ostrekon-icmp-helper
out=$(postinst /nonexistent) || fail "postinst without setcap failed: $out"
[ -z "$(getcap -r "$tmp/root")" ] && echo "$out" | grep -qF "setcap cap_net_raw+ep $helper" ||
  fail "postinst without setcap: $out"
if [ "$(id -u)" -eq 0 ]; then
  out=$(postinst "$PATH") || fail "postinst failed: $out"
  [ "$(getcap -r "$tmp/root")" = "$helper cap_net_raw=ep" ] || fail "postinst gave: $(getcap -r "$tmp/root")"
fi
echo "ok: $(basename "$deb"): $depends"
