#!/usr/bin/env bash
# Runs a command beside an nginx that serves the HTTPS test cases on port 443
# and a few name-based sites on port 80, inside the namespace of
# dns_netns.sh, whose dnsmasq names them (web_dns.conf):
#   bash tests/net/dns_netns.sh env DNS_EXTRA_FILE=... \
#     bash tests/net/web_netns.sh COMMAND [ARG...]
# (CTest sets DNS_EXTRA_FILE for dns_netns.sh itself.)
#
# HTTPS, one address each, all on 443, certificates of make_test_certs.sh:
#   chain.srv.test 127.0.1.1   valid, with the intermediate
#   leaf.srv.test  127.0.1.2   valid, leaf only
#   tls12.srv.test 127.0.1.3   valid, with the intermediate, TLS 1.2 only
#   tls13.srv.test 127.0.1.4   valid, with the intermediate, TLS 1.3 only
#   expired / notyet.srv.test 127.0.1.5 / .6, with the intermediate
#   wrong.srv.test 127.0.1.7   a certificate for other.test
#   selfsigned.srv.test 127.0.1.8
# HTTP on 127.0.2.1, ports 80 and 8080: site1.srv.test and site2.srv.test by
# name, any other Host to the default site.
# Every page answers "<site> Host=<the request's Host header>"; /big.txt is
# a file of WEB_BIG_MB megabytes (default 1) on chain.srv.test and site1.
# RDAP, with the intermediate: a1.srv.test 127.0.1.9, a registry under
# /rdap/ (example.com with a related link to the registrar's record, the
# network 192.0.2.1, AS64500, redirects moved.com and loop.com, 429 busy.com,
# notjson.com, deep.com, a 10 MB big.com, slow.com trickling it) and IANA's
# place under /bootstrap/ (dns.json naming com and net); a2.srv.test
# 127.0.1.10, the registrar, with a redacted registrant.
# Given to COMMAND: WEB_CERTS (the certificates' directory, ca.crt the root).
set -u
HARNESS=web_netns.sh
source "$(dirname "${BASH_SOURCE[0]}")/netns_common.sh"

[[ -n ${DNS_NETNS:-} ]] || fail "run me inside dns_netns.sh"
command -v nginx >/dev/null || skip "nginx is not installed (apt install nginx-light)"
command -v openssl >/dev/null || skip "openssl is not installed"
[[ $# -ge 1 ]] || fail "usage: web_netns.sh COMMAND [ARG...]"

WORK=$(mktemp -d "/tmp/$DNS_NETNS.web.XXXXXX")
NGINX_PID=
COMMAND_PID=
cleanup() {
  [[ -n $COMMAND_PID ]] && kill "$COMMAND_PID" 2>/dev/null && wait "$COMMAND_PID" 2>/dev/null
  [[ -n $NGINX_PID ]] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  rm -rf "$WORK"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

make_files() {
  sh "$(dirname "${BASH_SOURCE[0]}")/../support/make_test_certs.sh" "$WORK/certs" ||
    fail "the test certificates could not be made"
  local c=$WORK/certs
  for leaf in valid expired notyet wrongname; do cat "$c/$leaf.crt" "$c/chain.crt" >"$c/$leaf.full"; done
  mkdir -p "$WORK/www"
  local line='0123456789 The quick brown fox jumps over the lazy dog 0123456789 abcdefghij'
  yes "$line" | head -n $((${WEB_BIG_MB:-1} * 1000000 / 78)) | sed 's/$/\r/' >"$WORK/www/big.txt"
  rdap_files
}

rdap_files() {
  local r=$WORK/rdap/rdap d=$WORK/rdap/rdap/domain reg=$WORK/rdap2/rdap/domain
  mkdir -p "$d" "$r/ip" "$r/autnum" "$reg" "$WORK/rdap/bootstrap"
  local ns='"nameservers":[{"ldhName":"NS1.EXAMPLE.COM"}]'
  echo '{"objectClassName":"domain","ldhName":"EXAMPLE.COM","status":["active"],'"$ns"',
    "events":[{"eventAction":"registration","eventDate":"1995-08-14T04:00:00Z"}],
    "links":[{"rel":"related","type":"application/rdap+json","href":"https://a2.srv.test/rdap/domain/EXAMPLE.COM"}]}' >"$d/example.com"
  echo '{"objectClassName":"domain","ldhName":"EXAMPLE.COM",'"$ns"',
    "entities":[{"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text",""],["org",{},"text","Example\u001b]0;x\u0007 Inc"]]]}],
    "redacted":[{"name":{"type":"Registrant Email"}}]}' >"$reg/EXAMPLE.COM"
  echo '{"objectClassName":"ip network","startAddress":"192.0.2.0","endAddress":"192.0.2.255","name":"TEST-NET-1"}' >"$r/ip/192.0.2.1"
  echo '{"objectClassName":"autnum","startAutnum":64496,"endAutnum":64511,"name":"DOC-ASN"}' >"$r/autnum/64500"
  echo '<html>busy</html>' >"$d/notjson.com"
  printf '%*s' 3000 '' | tr ' ' '[' >"$d/deep.com"
  { printf '{"objectClassName":"domain","remarks":[{"description":["'; head -c 10000000 /dev/zero | tr '\0' a
    printf '"]}]}'; } >"$d/big.com"
  echo '{"publication":"2099-06-01T00:00:00Z","services":[[["com","net"],["https://a1.srv.test/rdap/"]]]}' >"$WORK/rdap/bootstrap/dns.json"
}

rdap_site() {
  cat <<EOF
  server {
    listen $1:443 ssl;
    server_name $2;
    ssl_certificate $WORK/certs/valid.full;
    ssl_certificate_key $WORK/certs/valid.key;
    root $WORK/$3;
    default_type application/rdap+json;
    location = /rdap/domain/moved.com { return 301 /rdap/hop/moved.com; }
    location = /rdap/hop/moved.com { return 307 https://a2.srv.test/rdap/domain/EXAMPLE.COM; }
    location = /rdap/domain/loop.com { return 302 /rdap/domain/loop.com; }
    location = /rdap/domain/busy.com { add_header Retry-After 30 always; return 429; }
    location = /rdap/domain/slow.com { alias $WORK/rdap/rdap/domain/big.com; limit_rate 2k; }
  }
EOF
}

# tls_site ADDRESS NAME CERTIFICATE KEY PROTOCOLS
tls_site() {
  cat <<EOF
  server {
    listen $1:443 ssl;
    server_name $2;
    ssl_certificate $WORK/certs/$3;
    ssl_certificate_key $WORK/certs/$4.key;
    ssl_protocols ${5:-TLSv1.2 TLSv1.3};
    location / { return 200 "\$server_name Host=\$http_host\n"; }
    location = /big.txt { root $WORK/www; }
  }
EOF
}

# plain_site NAME [default_server]
plain_site() {
  cat <<EOF
  server {
    listen 127.0.2.1:80 ${2:-};
    listen 127.0.2.1:8080 ${2:-};
    server_name $1;
    location / { return 200 "$1 Host=\$http_host\n"; }
    location = /big.txt { root $WORK/www; }
  }
EOF
}

write_conf() {
  cat <<EOF
daemon off;
master_process off;
user root;
error_log $WORK/error.log;
pid $WORK/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  default_type text/plain;
  client_body_temp_path $WORK/body;
  proxy_temp_path $WORK/proxy;
  fastcgi_temp_path $WORK/fastcgi;
  uwsgi_temp_path $WORK/uwsgi;
  scgi_temp_path $WORK/scgi;
EOF
  tls_site 127.0.1.1 chain.srv.test valid.full valid
  tls_site 127.0.1.2 leaf.srv.test valid.crt valid
  tls_site 127.0.1.3 tls12.srv.test valid.full valid TLSv1.2
  tls_site 127.0.1.4 tls13.srv.test valid.full valid TLSv1.3
  tls_site 127.0.1.5 expired.srv.test expired.full expired
  tls_site 127.0.1.6 notyet.srv.test notyet.full notyet
  tls_site 127.0.1.7 wrong.srv.test wrongname.full wrongname
  tls_site 127.0.1.8 selfsigned.srv.test selfsigned.crt selfsigned
  rdap_site 127.0.1.9 a1.srv.test rdap
  rdap_site 127.0.1.10 a2.srv.test rdap2
  plain_site default default_server
  plain_site site1.srv.test
  plain_site site2.srv.test
  echo "}"
}

# Waits until nginx listens on every address it was given.
wait_listening() {
  local i
  for ((i = 0; i < 100; i++)); do
    [[ $(ss -Hltn 'sport = :443' | wc -l) -ge 10 ]] && ss -Hltn 'sport = :8080' | grep -q . && return 0
    kill -0 "$NGINX_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

make_files
write_conf >"$WORK/nginx.conf"
nginx -p "$WORK" -c "$WORK/nginx.conf" -e "$WORK/error.log" &
NGINX_PID=$!
wait_listening || { cat "$WORK/error.log" >&2; fail "nginx did not start (config: $WORK/nginx.conf)"; }

WEB_CERTS=$WORK/certs "$@" <&0 &
COMMAND_PID=$!
wait "$COMMAND_PID"
status=$?
COMMAND_PID=
exit $status
