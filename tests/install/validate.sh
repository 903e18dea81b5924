#!/bin/sh
# The installed desktop entry and metainfo pass their validators and agree
# with each other and with the installed program and icons.
. "$(dirname "$0")/common.sh"

install_into "$tmp/dest"
root=$tmp/dest/usr
desktop=$root/share/applications/$id.desktop
metainfo=$root/share/metainfo/$id.metainfo.xml

# Errors and warnings fail; hints (such as two main categories) do not.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
if echo "$out" | grep -Eq 'error:|warning:'; then fail "desktop-file-validate: $out"; fi
# --strict: infos and warnings fail too, only pedantic notes pass.
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate $metainfo"

key() { sed -n "s/^$1=//p" "$desktop"; }
icon=$(key Icon)
for d in 16x16 32x32 48x48 128x128 256x256; do
  [ -f "$root/share/icons/hicolor/$d/apps/$icon.png" ] || fail "Icon=$icon has no $d icon"
done
[ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no SVG"
exec_name=$(key Exec | cut -d' ' -f1)
[ -x "$root/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"

grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"
echo "ok: $id validated"
