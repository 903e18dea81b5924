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
echo "ok: $(basename "$deb"): $depends"
