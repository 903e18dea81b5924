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

# Nothing in the package is setuid or setgid. Its postinst gives the helper,
# and nothing else, cap_net_raw; where setcap is missing or fails it says so
# and still succeeds. Run against the unpacked files through DPKG_ROOT.
dpkg-deb -c "$deb" | awk '$1 ~ /[sS]/' | grep . && fail "setuid or setgid files in the package"
dpkg-deb -e "$deb" "$tmp/control"
postinst=$tmp/control/postinst
[ -x "$postinst" ] || fail "no executable postinst in $(basename "$deb")"
helper=usr/libexec/ostrekon/ostrekon-icmp-helper
for path in "$PATH" /nonexistent; do
  rm -rf "$tmp/root"
  dpkg-deb -x "$deb" "$tmp/root"
  out=$(DPKG_ROOT=$tmp/root PATH=$path /bin/sh "$postinst" configure 2>&1) ||
    fail "postinst configure failed (PATH=$path): $out"
  caps=$(getcap -r "$tmp/root")
  if [ "$path" = "$PATH" ] && [ "$(id -u)" -eq 0 ]; then
    [ "$caps" = "$tmp/root/$helper cap_net_raw=ep" ] ||
      fail "postinst should give the helper alone cap_net_raw, gave: '$caps' ($out)"
  else
    [ -z "$caps" ] || fail "capabilities without setcap: $caps"
    echo "$out" | grep -qF "setcap cap_net_raw+ep $tmp/root/$helper" ||
      fail "postinst without setcap does not say what to run: $out"
  fi
done
echo "ok: $(basename "$deb"): $depends"
