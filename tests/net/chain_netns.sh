#!/usr/bin/env bash
# Runs a command in the client of a throw-away chain of network namespaces
# joined by veth pairs, so that echo requests cross two real forwarding
# routers and time-to-live expiry and unreachable destinations are real:
#
#   client ---------- router1 ---------- router2 ---------- target
#   198.51.100.2      198.51.100.1       192.0.2.2          203.0.113.2
#                     192.0.2.1          203.0.113.1
#                           (MTU 1280 between the routers)
#
# Usage (as root):
#   bash tests/net/chain_netns.sh COMMAND [ARG...]
#   CHAIN_TARGET_SILENT=1 bash tests/net/chain_netns.sh ./some_test
# COMMAND runs as `ip netns exec <client> COMMAND ARG...` and its exit status
# is ours. Everything is removed when it ends, however it ends.
# Exits 77 (skip) when not root or when ip netns is not usable.
#
# Addresses seen from the client (all inside the documentation ranges):
#   203.0.113.2   the target; answers echo requests
#   203.0.113.3   the target's second address, for a test that needs a path
#                 of its own (the system remembers a path's MTU per address)
#   198.51.100.1  router1, answers time-to-live 1 with time exceeded
#   192.0.2.2     router2, answers time-to-live 2 with time exceeded, and
#                 sends the unreachable messages below
#   203.0.113.50  blackhole route on router2: never answered at all
#   203.0.113.99  rejected by router2: host unreachable (3/1)
#   203.0.113.97  rejected by router2: network unreachable (3/0)
#   203.0.113.98  rejected by router2: administratively prohibited (3/13)
#   127.0.0.1     the client's own loopback
# Router2 rejects the three unreachable addresses in its packet filter as
# they arrive, whatever their time-to-live, rather than through routes of
# those types: the kernel limits the unreachable messages of such routes
# per source address, and a limit shared with every other ICMP error it
# sends empties that allowance at random (whenever a clock tick falls
# between the two checks), so a test would lose a message now and then.
# Requests of more than 1280 bytes with don't-fragment set get
# "fragmentation needed" (3/4) from router1.
#
# In the client, net.ipv4.ping_group_range admits every group (ICMP datagram
# sockets); the routers forward, send errors from the address of the
# interface the packet came in on, and do not rate-limit them.
#
# The chain is dual-stack, each link a /64 of 2001:db8::/32:
#   client 2001:db8:1::2 - router1 2001:db8:1::1, 2001:db8:2::1 -
#   router2 2001:db8:2::2, 2001:db8:3::1 - target 2001:db8:3::2 (and ::3)
#   2001:db8:3::50      blackhole route on router2
#   2001:db8:3::9C      rejected by router2 with destination unreachable code
#                       C (0 to 6, each reason ICMPv6 has)
# Packets of more than 1280 bytes get "packet too big" from router1.
#
# Environment:
#   CHAIN_TARGET_SILENT  1: the target ignores echo requests (nothing else
#                        changes; the route to it stays)
#   CHAIN_LOSSY          1: a path that loses answers by exact shares, for
#                        repeated traces to 203.0.113.2 (IPv4), each counter
#                        advancing once a cycle:
#     - router1 has a second link to router2 (198.18.0.1 - 198.18.0.2) and
#       sends the requests that expire at router2 over its two links in
#       turn, so hop 2 answers from 192.0.2.2 and 198.18.0.2 alternately;
#     - router2 drops its 2nd, 6th, 10th... time-exceeded message (a router
#       that rate-limits its answers; nothing forwarded is lost);
#     - the target drops the 4th, 8th, 12th... echo request that reaches it
#       with one hop left (those of hop 3: real loss).
#     Given to COMMAND as CHAIN_ROUTER2B=198.18.0.2.
# Given to COMMAND: CHAIN_CLIENT, CHAIN_ROUTER1, CHAIN_ROUTER2, CHAIN_TARGET,
#   CHAIN_TARGET2,
#   CHAIN_BLACKHOLE, CHAIN_HOST_UNREACHABLE, CHAIN_NET_UNREACHABLE,
#   CHAIN_PROHIBITED (the addresses above), CHAIN_SMALL_MTU=1280,
#   CHAIN6_CLIENT, CHAIN6_ROUTER1, CHAIN6_ROUTER2, CHAIN6_TARGET,
#   CHAIN6_TARGET2, CHAIN6_BLACKHOLE, CHAIN6_UNREACHABLE (the prefix of the
#   rejected addresses: append the code, 0 to 6), and the
#   namespace names CHAIN_NS_CLIENT, CHAIN_NS_ROUTER1, CHAIN_NS_ROUTER2,
#   CHAIN_NS_TARGET (for `ip netns exec` or setns from /run/netns/NAME).
set -u

readonly PREFIX=ostrekon-chain
readonly SMALL_MTU=1280

HARNESS=chain_netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

[[ $# -ge 1 ]] || fail "usage: chain_netns.sh COMMAND [ARG...]"
require_netns "network namespaces, raw sockets"
command -v nft >/dev/null || skip "nft is not installed (apt install nftables)"

readonly TAG=$PREFIX-$$-$RANDOM
readonly CLIENT=$TAG-client R1=$TAG-r1 R2=$TAG-r2 TARGET=$TAG-target
CREATED=()

cleanup() {
  local ns pid
  for ns in "${CREATED[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

in_ns() { local ns=$1; shift; ip netns exec "$ns" "$@"; }
set_sysctl() { in_ns "$1" sysctl -qw "$2" >/dev/null || fail "cannot set $2 in $1"; }

add_ns() {
  ip netns add "$1" || fail "cannot create network namespace $1"
  CREATED+=("$1")
  ip -n "$1" link set lo up || fail "cannot bring up lo in $1"
  # No duplicate address detection: an address is usable at once, link-local
  # ones too, which neighbour discovery needs.
  set_sysctl "$1" net.ipv6.conf.default.accept_dad=0
  set_sysctl "$1" net.ipv6.conf.all.accept_dad=0
}

# link NS_A IF_A ADDR_A NS_B IF_B ADDR_B NET6 [MTU]: a veth pair between two
# namespaces, both ends addressed (/24, and NET6::1 and ::2 of a /64, the
# side with the lower IPv4 address ::1) and up.
link() {
  ip link add "$2" netns "$1" type veth peer name "$5" netns "$4" ||
    fail "cannot create the veth pair $1:$2 - $4:$5"
  local mtu=${8:-1500} a6=2 b6=1
  [[ ${3##*.} -lt ${6##*.} ]] && a6=1 b6=2
  ip -n "$1" link set "$2" mtu "$mtu" up && ip -n "$4" link set "$5" mtu "$mtu" up &&
    ip -n "$1" addr add "$3/24" dev "$2" && ip -n "$4" addr add "$6/24" dev "$5" &&
    ip -n "$1" addr add "$7::$a6/64" dev "$2" && ip -n "$4" addr add "$7::$b6/64" dev "$5" ||
    fail "cannot set up the veth pair $1:$2 - $4:$5"
}

route() { local ns=$1; shift; ip -n "$ns" route add "$@" || fail "ip -n $ns route add $*"; }
route6() { local ns=$1; shift; ip -6 -n "$ns" route add "$@" || fail "ip -6 -n $ns route add $*"; }

router() {
  set_sysctl "$1" net.ipv4.ip_forward=1
  set_sysctl "$1" net.ipv4.icmp_ratelimit=0
  set_sysctl "$1" net.ipv4.icmp_errors_use_inbound_ifaddr=1
  set_sysctl "$1" net.ipv6.conf.all.forwarding=1
  set_sysctl "$1" net.ipv6.icmp.ratelimit=0
}

# Waits until every veth end reports its carrier, so the first request of a
# test is not lost to a link still coming up.
wait_links() {
  local i ns
  for ((i = 0; i < 100; i++)); do
    for ns in "$CLIENT" "$R1" "$R2" "$TARGET"; do
      ip -n "$ns" -o link show type veth | grep -q 'state DOWN\|NO-CARRIER' && continue 2
    done
    return 0
  done
  fail "the veth links did not come up"
}

remove_stale
for ns in "$CLIENT" "$R1" "$R2" "$TARGET"; do add_ns "$ns"; done
link "$CLIENT" eth0 198.51.100.2 "$R1" eth0 198.51.100.1 2001:db8:1
link "$R1" eth1 192.0.2.1 "$R2" eth0 192.0.2.2 2001:db8:2 "$SMALL_MTU"
link "$R2" eth1 203.0.113.1 "$TARGET" eth0 203.0.113.2 2001:db8:3
router "$R1"
router "$R2"
route "$CLIENT" default via 198.51.100.1
route "$R1" 203.0.113.0/24 via 192.0.2.2
route "$R2" 198.51.100.0/24 via 192.0.2.1
route "$TARGET" default via 203.0.113.1
route6 "$CLIENT" default via 2001:db8:1::1
route6 "$R1" 2001:db8:3::/64 via 2001:db8:2::2
route6 "$R2" 2001:db8:1::/64 via 2001:db8:2::1
route6 "$TARGET" default via 2001:db8:3::1
ip -n "$TARGET" addr add 203.0.113.3/24 dev eth0 || fail "cannot add 203.0.113.3"
ip -n "$TARGET" addr add 2001:db8:3::3/64 dev eth0 || fail "cannot add 2001:db8:3::3"
route "$R2" blackhole 203.0.113.50/32
route6 "$R2" blackhole 2001:db8:3::50/128
in_ns "$R2" nft -f - <<'EOF' || fail "cannot load the packet filter of router2 (nft)"
table ip router2 {
  chain unreachable {
    type filter hook prerouting priority 0; policy accept;
    ip daddr 203.0.113.99 reject with icmp type host-unreachable
    ip daddr 203.0.113.97 reject with icmp type net-unreachable
    ip daddr 203.0.113.98 reject with icmp type admin-prohibited
  }
}
table ip6 router2 {
  chain unreachable {
    type filter hook prerouting priority 0; policy accept;
    ip6 daddr 2001:db8:3::90 reject with icmpv6 type no-route
    ip6 daddr 2001:db8:3::91 reject with icmpv6 type admin-prohibited
    ip6 daddr 2001:db8:3::92 reject with icmpv6 type 2
    ip6 daddr 2001:db8:3::93 reject with icmpv6 type addr-unreachable
    ip6 daddr 2001:db8:3::94 reject with icmpv6 type port-unreachable
    ip6 daddr 2001:db8:3::95 reject with icmpv6 type policy-fail
    ip6 daddr 2001:db8:3::96 reject with icmpv6 type reject-route
  }
}
EOF
if [[ ${CHAIN_LOSSY:-} == 1 ]]; then
  link "$R1" eth2 198.18.0.1 "$R2" eth2 198.18.0.2 2001:db8:4
  for ns in "$R1" "$R2"; do
    set_sysctl "$ns" net.ipv4.conf.all.rp_filter=0
    set_sysctl "$ns" net.ipv4.conf.eth2.rp_filter=0
  done
  ip -n "$R1" rule add fwmark 1 table 100 || fail "cannot add router1's rule"
  route "$R1" 203.0.113.0/24 via 198.18.0.2 table 100
  in_ns "$R1" nft -f - <<'EOF' || fail "cannot load router1's turns (nft)"
table ip lossy {
  chain turns {
    type filter hook prerouting priority -150; policy accept;
    ip daddr 203.0.113.2 ip ttl 2 meta mark set numgen inc mod 2
  }
}
EOF
  in_ns "$R2" nft -f - <<'EOF' || fail "cannot load router2's answer limit (nft)"
table ip lossy {
  chain answers {
    type filter hook output priority 0; policy accept;
    icmp type time-exceeded numgen inc mod 4 == 1 drop
  }
}
EOF
  in_ns "$TARGET" nft -f - <<'EOF' || fail "cannot load the target's loss (nft)"
table ip lossy {
  chain requests {
    type filter hook input priority 0; policy accept;
    icmp type echo-request ip ttl 1 numgen inc mod 4 == 3 drop
  }
}
EOF
fi
set_sysctl "$CLIENT" "net.ipv4.ping_group_range=0 2147483647"
if [[ ${CHAIN_TARGET_SILENT:-} == 1 ]]; then
  set_sysctl "$TARGET" net.ipv4.icmp_echo_ignore_all=1
  set_sysctl "$TARGET" net.ipv6.icmp.echo_ignore_all=1
fi
wait_links

in_ns "$CLIENT" env \
  CHAIN_CLIENT=198.51.100.2 CHAIN_ROUTER1=198.51.100.1 CHAIN_ROUTER2=192.0.2.2 \
  CHAIN_TARGET=203.0.113.2 CHAIN_TARGET2=203.0.113.3 CHAIN_BLACKHOLE=203.0.113.50 \
  CHAIN_HOST_UNREACHABLE=203.0.113.99 CHAIN_NET_UNREACHABLE=203.0.113.97 \
  CHAIN_PROHIBITED=203.0.113.98 CHAIN_SMALL_MTU=$SMALL_MTU CHAIN_ROUTER2B=198.18.0.2 \
  CHAIN6_CLIENT=2001:db8:1::2 CHAIN6_ROUTER1=2001:db8:1::1 CHAIN6_ROUTER2=2001:db8:2::2 \
  CHAIN6_TARGET=2001:db8:3::2 CHAIN6_TARGET2=2001:db8:3::3 CHAIN6_BLACKHOLE=2001:db8:3::50 \
  CHAIN6_UNREACHABLE=2001:db8:3::9 \
  CHAIN_NS_CLIENT="$CLIENT" CHAIN_NS_ROUTER1="$R1" CHAIN_NS_ROUTER2="$R2" \
  CHAIN_NS_TARGET="$TARGET" "$@"
exit $?
