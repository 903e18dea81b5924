#!/usr/bin/env bash
# Usage (as root, in chain_netns.sh): helper_user.sh TEST_PROGRAM HELPER [ARG...]
# Runs TEST_PROGRAM as nobody with ICMP_HELPER_CAPABLE, a copy of HELPER with
# cap_net_raw, and ICMP_HELPER_PLAIN, one without; ping_group_range shuts nobody
# out unless HELPER_USER_PING_GROUPS gives a range (of group ids) to admit.
set -u
HARNESS=helper_user.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

command -v setcap >/dev/null && command -v setpriv >/dev/null || skip "needs setcap and setpriv"
program=$1 helper=$2
shift 2
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }

# File capabilities count only where nosuid is not set, often not on /tmp.
for base in "$(dirname "$program")" /var/tmp /tmp; do
  [[ ,$(findmnt -n -o OPTIONS --target "$base"), == *,nosuid,* ]] && continue
  dir=$(mktemp -d "$base/ostrekon-helper.XXXXXX") && chmod 755 "$dir" &&
    cp "$program" "$dir/" && cp "$helper" "$dir/capable" && cp "$helper" "$dir/plain" &&
    as_user test -x "$dir/$(basename "$program")" && break
  rm -rf "$dir" && dir=
done
[[ -n ${dir:-} ]] || skip "no directory that nobody reaches without nosuid"
trap 'rm -rf "$dir"' EXIT
setcap cap_net_raw+ep "$dir/capable" || skip "setcap cannot give a capability in $dir"
range=${HELPER_USER_PING_GROUPS:-0 0}
sysctl -qw net.ipv4.ping_group_range="$range" || fail "cannot set net.ipv4.ping_group_range"

ICMP_HELPER_CAPABLE=$dir/capable ICMP_HELPER_PLAIN=$dir/plain as_user "$dir/$(basename "$program")" "$@"
