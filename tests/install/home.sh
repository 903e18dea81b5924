#!/bin/sh
# Installed and run by root, the program writes nothing beside itself or
# anywhere else outside the home: its settings go to the user's config place
# (it is ended by SIGTERM, which saves them as a close does), starting from
# the administrator's defaults in the XDG config directories.
. "$(dirname "$0")/common.sh"
. "$here/../support/quit_signal.sh"

install_into "$tmp/dest"
program=$tmp/dest/usr/bin/ostrekon
mkdir -p "$tmp/home" "$tmp/xdg/qmzt/Ostrekon"
printf '[Ping]\r\nTimeout=7\r\n' >"$tmp/xdg/qmzt/Ostrekon/ostrekon.ini"
touch "$tmp/before"
sleep 1  # file times in whole seconds on some file systems
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u DISPLAY -u WAYLAND_DISPLAY HOME="$tmp/home" \
  XDG_CONFIG_DIRS="$tmp/xdg" \
  QT_QPA_PLATFORM=offscreen "$program" &
pid=$!
wait_for_handler "$pid" "$program" TERM || { kill -9 "$pid"; fail "the program never got going"; }
kill -TERM "$pid"
wait "$pid" || fail "the program ended with $?"

written=$(find "$tmp/dest" -newer "$tmp/before" ! -type d)
[ -z "$written" ] || fail "written beside the installed program: $written"
grep -q '^Timeout=7' "$tmp/home/.config/qmzt/Ostrekon/ostrekon.ini" ||
  fail "no settings from the administrator's defaults in the user's config place"
echo "ok: as installed, only the home was written"
