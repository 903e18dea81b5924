#!/bin/sh
# Makes the certificates of the HTTPS tests in directory $1, with a test CA
# of their own (the client trusts ca.crt alone):
#   ca.crt            the test root
#   chain.crt         the intermediate that signs the leaves
#   <name>.crt/.key   leaves for srv.test: valid, expired, notyet, wrongname
#                     (for other.test), selfsigned (signed by itself), nosan (no SAN)
# valid.crt names 13 hosts, so a report shows 10 and the count of the rest;
# those and the others' second names are the hosts of web_netns.sh.
# wrongname.crt names 10: 127.0.0.1 misread, and one with CR, LF and ESC.
set -eu
out=$1
mkdir -p "$out/new"
cd "$out"
: > index.txt
echo 01 > serial
cat > ca.cnf <<'CNF'
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = new
serial = serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[inter]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
[leaf]
basicConstraints = CA:FALSE
subjectAltName = $ENV::SAN
[bare]
basicConstraints = CA:FALSE
CNF
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
csr() { openssl req -new -key "$1.key" -subj "/CN=$2" -out "$1.csr"; }
# sign NAME ISSUER EXTENSIONS START END
sign() {
  openssl ca -batch -notext -config ca.cnf -cert "$2.crt" -keyfile "$2.key" -extensions "$3" \
    -startdate "$4" -enddate "$5" -in "$1.csr" -out "$1.crt" 2>/dev/null
}
now=$(date -u +%Y%m%d%H%M%SZ)
year=$(date -u -d '+1 year' +%Y%m%d%H%M%SZ)

key ca
openssl req -x509 -new -key ca.key -subj "/O=Ostrekon Test/CN=Ostrekon Test Root" -days 2 \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -out ca.crt
key chain && csr chain "Ostrekon Test Intermediate"
SAN=x sign chain ca inter "$now" "$year"

names="DNS:srv.test,IP:127.0.0.1"
for host in chain leaf tls12 tls13 a1 a2 a3 a4 a5 a6; do names="$names,DNS:$host.srv.test"; done
wrong="DNS:other.test,IP:177.0.0.1,IP:::ffff:127.0.0.1"
for host in b1 b2 b3 b4 b5 b6; do wrong="$wrong,DNS:$host"; done
# Last: openssl takes the rest of the list from a CR on as one name.
wrong="$wrong,DNS:x$(printf '\r\n\033')OK"
for leaf in valid expired notyet wrongname nosan; do key $leaf; done
csr valid srv.test && SAN=$names,IP:::1 sign valid chain leaf "$now" "$year"
csr expired srv.test && SAN=DNS:srv.test,DNS:expired.srv.test sign expired chain leaf 20200101000000Z "$(date -u -d '-5 hours' +%Y%m%d%H%M%SZ)"
csr notyet srv.test && SAN=DNS:srv.test,DNS:notyet.srv.test sign notyet chain leaf "$(date -u -d '+1484 days 5 hours' +%Y%m%d%H%M%SZ)" 20900201000000Z
csr wrongname other.test && SAN=$wrong sign wrongname chain leaf "$now" "$year"
csr nosan srv.test && SAN=x sign nosan chain bare "$now" "$year"
key selfsigned
openssl req -x509 -new -key selfsigned.key -subj "/CN=srv.test" -days 2 \
  -addext "subjectAltName=DNS:srv.test,DNS:selfsigned.srv.test" -out selfsigned.crt
