#!/usr/bin/env bash
# Times an IP Scan of 203.0.113.0-255 against dnsmasq in a test namespace:
# once with a PTR record for every address, once with none.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bench=${1:-$top/build/bench/ScanBench}
conf=
for n in $(seq 0 255); do conf+="ptr-record=$n.113.0.203.in-addr.arpa,h$n.ostrekon.test"$'\n'; done
echo "every address named:"
DNS_EXTRA_CONF=$conf QT_QPA_PLATFORM=offscreen bash "$top/tests/net/dns_netns.sh" "$bench" 203.0.113
echo "no address named:"
QT_QPA_PLATFORM=offscreen bash "$top/tests/net/dns_netns.sh" "$bench" 203.0.113
