#!/usr/bin/env bash
# Times an IP Scan of 203.0.113.0-255 and of 2001:db8:7::0-ff (a /120)
# against dnsmasq in a test namespace: once with a PTR record for every
# address, once with none.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bench=${1:-$top/build/bench/ScanBench}
conf=
for n in $(seq 0 255); do conf+="ptr-record=$n.113.0.203.in-addr.arpa,h$n.ostrekon.test"$'\n'; done
for n in $(seq 0 255); do conf+="host-record=h6-$n.ostrekon.test,2001:db8:7::$(printf %x "$n")"$'\n'; done
for prefix in 203.0.113 2001:db8:7::; do
  echo "every address named:"
  DNS_EXTRA_CONF=$conf QT_QPA_PLATFORM=offscreen bash "$top/tests/net/dns_netns.sh" "$bench" "$prefix"
  echo "no address named:"
  QT_QPA_PLATFORM=offscreen bash "$top/tests/net/dns_netns.sh" "$bench" "$prefix"
done
