#!/usr/bin/env bash
# Runs a command inside a throw-away network namespace whose only DNS server
# is a dnsmasq on 127.0.0.1 serving the made-up zone ostrekon.test, so that
# lookups are real DNS and yet never reach the machine's own resolver.
#
# Usage (as root):
#   bash tests/net/dns_netns.sh COMMAND [ARG...]
#   DNS_EXTRA_CONF=$'host-record=hop1.ostrekon.test,203.0.113.1' \
#     bash tests/net/dns_netns.sh ./some_test --gtest_filter=...
# COMMAND runs as `ip netns exec <ns> COMMAND ARG...` and its exit status is
# ours. Inside, /etc/resolv.conf reads "nameserver 127.0.0.1" and /etc/hosts
# holds only the localhost lines. Only lo is up; add veth pairs yourself.
# Exits 77 (skip) when not root or when ip netns, dnsmasq or perl is missing.
#
# Served (everything below is answered at once, from local data):
#   two.ostrekon.test              A 192.0.2.10 and 192.0.2.11
#   alias.ostrekon.test            CNAME two.ostrekon.test
#   host1 / host2.ostrekon.test    A 192.0.2.1 / 192.0.2.2
#   scan1 / scan2 / scan200.ostrekon.test   A 198.51.100.1 / .2 / .200
#   v6only.ostrekon.test           AAAA 2001:db8::10 (no A record)
#   dual.ostrekon.test             A 192.0.2.20 and AAAA 2001:db8::20
#   PTR of each address above back to its name (.10 and .11: two...),
#   in ip6.arpa for the IPv6 ones
#   any other name under ostrekon.test, and any other address in
#   192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24, 2001:db8::/32: NXDOMAIN
#   PTR of 192.0.2.99: never answered (forwarded to a sink that drops it)
# Environment:
#   DNS_EXTRA_CONF   more dnsmasq lines (host-record=, ptr-record=, cname=...)
#   DNS_EXTRA_FILE   a file of more such lines
#   DNS_LOG_QUERIES  1: dnsmasq logs every query to our stderr
# Given to COMMAND: DNS_NETNS (the namespace's name), DNS_SERVER=127.0.0.1.
set -u

readonly PREFIX=ostrekon-dns
readonly SINK_PORT=5399

HARNESS=dns_netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

[[ $# -ge 1 ]] || fail "usage: dns_netns.sh COMMAND [ARG...]"
require_netns "network namespaces, DNS port 53"
command -v dnsmasq >/dev/null || skip "dnsmasq is not installed (apt install dnsmasq-base)"
command -v perl >/dev/null || skip "perl is not installed"

NS=$PREFIX-$$-$RANDOM
WORK=$(mktemp -d "/tmp/$NS.XXXXXX")
DNSMASQ_PID=
SINK_PID=
COMMAND_PID=

cleanup() {
  [[ -n $COMMAND_PID ]] && kill "$COMMAND_PID" 2>/dev/null && wait "$COMMAND_PID" 2>/dev/null
  [[ -n $DNSMASQ_PID ]] && kill "$DNSMASQ_PID" 2>/dev/null && wait "$DNSMASQ_PID" 2>/dev/null
  [[ -n $SINK_PID ]] && kill "$SINK_PID" 2>/dev/null && wait "$SINK_PID" 2>/dev/null
  ip netns del "$NS" 2>/dev/null
  rm -rf "/etc/netns/$NS" "$WORK"
  rmdir /etc/netns 2>/dev/null
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

write_etc() {
  mkdir -p "/etc/netns/$NS"
  echo "nameserver 127.0.0.1" >"/etc/netns/$NS/resolv.conf"
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    >"/etc/netns/$NS/hosts"
}

write_zone() {
  cat <<EOF
local=/ostrekon.test/
local=/2.0.192.in-addr.arpa/
local=/100.51.198.in-addr.arpa/
local=/113.0.203.in-addr.arpa/
local=/8.b.d.0.1.0.0.2.ip6.arpa/
server=/99.2.0.192.in-addr.arpa/127.0.0.1#$SINK_PORT
host-record=two.ostrekon.test,192.0.2.10
host-record=two.ostrekon.test,192.0.2.11
cname=alias.ostrekon.test,two.ostrekon.test
host-record=host1.ostrekon.test,192.0.2.1
host-record=host2.ostrekon.test,192.0.2.2
host-record=scan1.ostrekon.test,198.51.100.1
host-record=scan2.ostrekon.test,198.51.100.2
host-record=scan200.ostrekon.test,198.51.100.200
host-record=v6only.ostrekon.test,2001:db8::10
host-record=dual.ostrekon.test,192.0.2.20,2001:db8::20
EOF
  [[ -n ${DNS_EXTRA_CONF:-} ]] && printf '%s\n' "$DNS_EXTRA_CONF"
  [[ -n ${DNS_EXTRA_FILE:-} ]] && cat "$DNS_EXTRA_FILE"
  return 0
}

# The upstream for the never-answered name: reads every query and drops it.
# Unlike an unused port (ICMP unreachable) it makes dnsmasq wait for good.
start_sink() {
  ip netns exec "$NS" perl -MIO::Socket::INET -e '
    my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => $ARGV[0],
                                  Proto => "udp") or die "sink: $!\n";
    my $b; while (1) { defined $s->recv($b, 4096) or die "sink: $!\n" }' "$SINK_PORT" &
  SINK_PID=$!
}

start_dnsmasq() {
  local log=()
  [[ ${DNS_LOG_QUERIES:-} == 1 ]] && log=(--log-queries --log-facility=-)
  ip netns exec "$NS" dnsmasq --keep-in-foreground --conf-file="$WORK/dnsmasq.conf" \
    --no-resolv --no-hosts --no-poll --listen-address=127.0.0.1 --bind-interfaces \
    --user=root --pid-file="$WORK/dnsmasq.pid" "${log[@]}" &
  DNSMASQ_PID=$!
}

# Waits until something in the namespace listens on UDP port $1.
wait_udp() {
  local i
  for ((i = 0; i < 100; i++)); do
    ip netns exec "$NS" ss -Hlun "sport = :$1" | grep -q . && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

remove_stale
ip netns add "$NS" || fail "cannot create network namespace $NS"
ip -n "$NS" link set lo up || fail "cannot bring up lo in $NS"
write_etc
write_zone >"$WORK/dnsmasq.conf"
start_sink
wait_udp "$SINK_PORT" "$SINK_PID" || fail "the drop sink did not start"
start_dnsmasq
wait_udp 53 "$DNSMASQ_PID" || fail "dnsmasq did not start (config: $WORK/dnsmasq.conf)"

# In the background (stdin kept) so that a signal reaches our trap at once
# instead of after the command has finished.
ip netns exec "$NS" env DNS_NETNS="$NS" DNS_SERVER=127.0.0.1 "$@" <&0 &
COMMAND_PID=$!
wait "$COMMAND_PID"
status=$?
COMMAND_PID=
exit $status
