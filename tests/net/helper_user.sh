#!/usr/bin/env bash
# Runs a test program as an ordinary user (nobody) beside two copies of the
# raw-socket helper: one given cap_net_raw here, as the package's postinst
# gives it, and one without. Meant for the client namespace of
# chain_netns.sh, whose net.ipv4.ping_group_range it narrows to root's group
# so that the ICMP echo service is closed to that user as well.
#
# Usage (as root):
#   bash tests/net/helper_user.sh TEST_PROGRAM HELPER [ARG...]
# Given to TEST_PROGRAM: ICMP_HELPER_CAPABLE and ICMP_HELPER_PLAIN, the
# copies' paths. Exits 77 (skip) when not root, without setcap or setpriv, or
# when no directory is both reachable by that user and mounted without
# nosuid (file capabilities count only there).
set -u

HARNESS=helper_user.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

[[ $# -ge 2 ]] || fail "usage: helper_user.sh TEST_PROGRAM HELPER [ARG...]"
[[ $(id -u) -eq 0 ]] || skip "needs root (setcap, another user)"
command -v setcap >/dev/null || skip "setcap is not installed (apt install libcap2-bin)"
command -v setpriv >/dev/null || skip "setpriv is not installed (util-linux)"

readonly USER_ID=65534 GROUP_ID=65534
program=$1 helper=$2
shift 2

as_user() { setpriv --reuid=$USER_ID --regid=$GROUP_ID --clear-groups "$@"; }

# Beside the test program first: /tmp is often a tmpfs mounted nosuid.
dir=
for base in "$(dirname "$program")" /var/tmp /tmp; do
  [[ ,$(findmnt -n -o OPTIONS --target "$base" 2>/dev/null), == *,nosuid,* ]] && continue
  d=$(mktemp -d "$base/ostrekon-helper.XXXXXX") || continue
  chmod 755 "$d"
  if cp "$program" "$helper" "$d/" && cp "$helper" "$d/plain-helper" &&
     as_user test -x "$d/$(basename "$program")"; then
    dir=$d
    break
  fi
  rm -rf "$d"
done
[[ -n $dir ]] || skip "no directory reachable by uid $USER_ID on a file system without nosuid"
trap 'rm -rf "$dir"' EXIT

capable=$dir/$(basename "$helper")
setcap cap_net_raw+ep "$capable" || skip "setcap cannot give $capable a capability here"
sysctl -qw net.ipv4.ping_group_range="0 0" >/dev/null ||
  fail "cannot narrow net.ipv4.ping_group_range"

ICMP_HELPER_CAPABLE=$capable ICMP_HELPER_PLAIN=$dir/plain-helper \
  as_user "$dir/$(basename "$program")" "$@"
exit $?
