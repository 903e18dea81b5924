#!/usr/bin/env bash
# Makes the pictures of the README (docs/screenshots/*.png) again: each
# tool's page after a real run, Ping and TraceRoute across the namespace
# chain of the tests, the lookups against the tests' own DNS server, the TCP
# tools against loopback servers. Needs root (namespaces) and a build.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
shots="$top/build/ScreenShots"
out="$top/docs/screenshots"
[ -x "$shots" ] || { echo "build first: scripts/ostrekon.sh build" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "needs root (network namespaces)" >&2; exit 1; }
run() { xvfb-run -a -s '-screen 0 1280x1024x24' env QT_QPA_PLATFORM=xcb "$@"; }
run bash tests/net/chain_netns.sh "$shots" "$out" finger whois ping traceroute http graph
CHAIN_LOSSY=1 run bash tests/net/chain_netns.sh "$shots" "$out" repeat
run bash tests/net/dns_netns.sh "$shots" "$out" nslookup ipscan
run bash tests/net/dns_netns.sh bash tests/net/dnsbed_netns.sh "$shots" "$out" dns
