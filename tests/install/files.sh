#!/bin/sh
# The installed tree: exactly the expected files, under a DESTDIR and under a
# plain prefix alike; icons of the size their directory says; a manual page
# of this version; a program that runs without the build tree and tells the
# package's version.
. "$(dirname "$0")/common.sh"

install_into "$tmp/dest"
note=$(cmake --install "$build" --prefix "$tmp/prefix")

expected | sed 's|^|usr/|' > "$tmp/want-dest"
listing "$tmp/dest" > "$tmp/got-dest"
diff -u "$tmp/want-dest" "$tmp/got-dest" || fail "files installed under DESTDIR"
expected > "$tmp/want-prefix"
listing "$tmp/prefix" > "$tmp/got-prefix"
diff -u "$tmp/want-prefix" "$tmp/got-prefix" || fail "files installed under --prefix"

root=$tmp/dest/usr
for n in 16 32 48 128 256; do
  png=$root/share/icons/hicolor/${n}x$n/apps/$id.png
  file -b "$png" | grep -q "^PNG image data, $n x $n," || fail "$png: $(file -b "$png")"
done
svg=$root/share/icons/hicolor/scalable/apps/$id.svg
file -b "$svg" | grep -q "SVG" || fail "$svg: $(file -b "$svg")"

man=$root/share/man/man1/ostrekon.1.gz
gzip -t "$man" || fail "$man is not a valid gzip file"
gzip -dc "$man" | grep -q "^\.TH OSTREKON 1 .*\"Ostrekon $version\"" ||
  fail "$man: no .TH line for version $version"

# Installing gives no privilege, but says how to give the helper its capability.
[ -z "$(find "$tmp/dest" "$tmp/prefix" -type f -perm /6000)" ] || fail "setuid or setgid files"
! command -v getcap >/dev/null || [ -z "$(getcap -r "$tmp/dest" "$tmp/prefix")" ] ||
  fail "installed files with capabilities"
echo "$note" | grep -qF "setcap cap_net_raw+ep $tmp/prefix/libexec/ostrekon/ostrekon-icmp-helper" ||
  fail "cmake --install does not say how to give the helper its capability: $note"

# Run as installed: it starts without the build tree, and says the package's version.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/ostrekon" --version) || fail "ostrekon --version: $out"
[ "$out" = "ostrekon $version" ] || fail "ostrekon --version says '$out', the package is $version"
echo "ok: $(wc -l < "$tmp/want-prefix") files, under DESTDIR and --prefix"
