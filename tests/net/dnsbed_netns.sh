#!/usr/bin/env bash
# Runs a command beside an unbound in the namespace of dns_netns.sh that
# serves the zone dnsbed.test, signed here with keys made for the run, and
# validates it (AD set):
#   bash tests/net/dns_netns.sh bash tests/net/dnsbed_netns.sh COMMAND [ARG...]
# unbound answers on 127.0.3.1 port 53 (UDP and TCP), DNS over TLS on
# 127.0.0.1 port 853 and DNS over HTTPS on 127.0.0.1 port 443 (/dns-query),
# with the valid certificate of make_test_certs.sh (trust ca.crt). It
# refuses every name outside dnsbed.test, and refused.dnsbed.test itself.
# The zone holds every type NS Lookup asks (see write_zone) and a TXT set too
# big for UDP (big.dnsbed.test); the namespace's
# dnsmasq (127.0.0.1) is the second server: it answers who.dnsbed.test TXT
# with "dnsmasq" where unbound says "unbound" (put the line in
# DNS_EXTRA_CONF). The drop sink of dns_netns.sh (127.0.0.1#5399) never
# answers.
# Given to COMMAND: DNSBED_CERTS (the certificates, ca.crt the root).
set -u
HARNESS=dnsbed_netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

[[ -n ${DNS_NETNS:-} ]] || fail "run me inside dns_netns.sh"
for tool in unbound dnssec-keygen dnssec-signzone dig openssl; do
  command -v $tool >/dev/null || skip "$tool is not installed (apt install unbound bind9-utils bind9-dnsutils)"
done
[[ $# -ge 1 ]] || fail "usage: dnsbed_netns.sh COMMAND [ARG...]"

WORK=$(mktemp -d "/tmp/$DNS_NETNS.dnsbed.XXXXXX")
UNBOUND_PID=
COMMAND_PID=
cleanup() {
  [[ -n $COMMAND_PID ]] && kill "$COMMAND_PID" 2>/dev/null && wait "$COMMAND_PID" 2>/dev/null
  [[ -n $UNBOUND_PID ]] && kill "$UNBOUND_PID" 2>/dev/null && wait "$UNBOUND_PID" 2>/dev/null
  rm -rf "$WORK"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

write_zone() {
  cat <<'EOF_ZONE'
$TTL 3600
@         SOA    ns admin 2024010101 7200 3600 1209600 300
@         NS     ns
ns        A      127.0.3.1
@         A      192.0.2.53
@         AAAA   2001:db8::53
@         MX     10 mail
@         MX     20 mail2
@         TXT    "v=spf1 -all"
@         TXT    "two" "strings"
@         CAA    0 issue "ca.example.net"
@         HTTPS  1 . alpn="h2,h3" port=8443 ipv4hint=192.0.2.53
www 300   CNAME  @
_sip._tcp SRV    10 60 5060 sip
ptr       PTR    host
odd       TXT    "bell\007 esc\027[31m nl\010 \"q\" \\ utf8 \230\151\165"
who       TXT    "unbound"
xn--wgv71a119e A 192.0.2.81
EOF_ZONE
  # More than a UDP answer of 1232 bytes holds: truncated, then over TCP.
  for letters in abcd efgh; do
    printf 'big TXT'; for ((i = 0; i < 4; i++)); do printf ' "%0240d"' 0 | tr 0 "${letters:i:1}"; done; echo
  done
  cat <<'EOF_ZONE'
sub       NS     ns.sub
sub       DS     12345 13 2 0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF
ns.sub    A      192.0.2.54
EOF_ZONE
}

sign_zone() {
  (cd "$WORK" && write_zone >zone &&
    KSK=$(dnssec-keygen -q -a ECDSAP256SHA256 -f KSK dnsbed.test) &&
    dnssec-keygen -q -a ECDSAP256SHA256 dnsbed.test >/dev/null &&
    dnssec-signzone -q -S -K . -o dnsbed.test -f zone.signed zone >/dev/null &&
    grep -v '^;' "$KSK.key" >anchor.key)
}

write_conf() {
  cat <<EOF_CONF
server:
  verbosity: 0
  username: ""
  chroot: ""
  directory: "$WORK"
  pidfile: "$WORK/unbound.pid"
  use-syslog: no
  logfile: "$WORK/unbound.log"
  interface: 127.0.3.1
  interface: 127.0.0.1@853
  interface: 127.0.0.1@443
  tls-port: 853
  https-port: 443
  tls-service-key: "$WORK/certs/valid.key"
  tls-service-pem: "$WORK/certs/valid.full"
  access-control: 127.0.0.0/8 allow
  do-ip6: no
  serve-original-ttl: yes
  do-not-query-localhost: no
  module-config: "validator iterator"
  trust-anchor-file: "$WORK/anchor.key"
  local-zone: "." refuse
  local-zone: "dnsbed.test." transparent
  local-zone: "refused.dnsbed.test." refuse
auth-zone:
  name: "dnsbed.test."
  zonefile: "$WORK/zone.signed"
  for-downstream: no
  for-upstream: yes
  fallback-enabled: no
EOF_CONF
}

wait_listening() {
  local i
  for ((i = 0; i < 100; i++)); do
    ss -Hltn 'sport = :443' | grep -q . && ss -Hltn 'sport = :853' | grep -q . && return 0
    kill -0 "$UNBOUND_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

sh "$(dirname "${BASH_SOURCE[0]}")/../support/make_test_certs.sh" "$WORK/certs" ||
  fail "the test certificates could not be made"
cat "$WORK/certs/valid.crt" "$WORK/certs/chain.crt" >"$WORK/certs/valid.full"
sign_zone || fail "the zone could not be signed"
write_conf >"$WORK/unbound.conf"
unbound -d -c "$WORK/unbound.conf" &
UNBOUND_PID=$!
wait_listening || { cat "$WORK/unbound.log" >&2; fail "unbound did not start ($WORK/unbound.conf)"; }

DNSBED_CERTS=$WORK/certs "$@" <&0 &
COMMAND_PID=$!
wait "$COMMAND_PID"
status=$?
COMMAND_PID=
exit $status
