#!/usr/bin/env bash
# Makes a throw-away certificate authority and two server certificates in DIR
# for the HTTPS tests: server.pem for 127.0.0.1 and localhost, wrong.pem for
# a host name that no test connects to, expired.pem for 127.0.0.1 and
# localhost that expired a day before it was made, future.pem for the same
# hosts valid only from 2040. Usage: make_test_certs.sh DIR
set -euo pipefail
dir=${1:?usage: make_test_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"
ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $ec -keyout ca.key -out ca.pem -days 2 -subj "/CN=quorl test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
issue() { # name, subjectAltName[, days]
  openssl req $ec -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$2" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "${3:-2}" -out "$1.pem" -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
issue server "IP:127.0.0.1,DNS:localhost"
issue wrong "DNS:wrong.invalid"
issue expired "IP:127.0.0.1,DNS:localhost" -1
# A start in the future needs "openssl ca" (x509 -req always starts now),
# with a throw-away database of its own.
openssl req $ec -keyout future.key -out future.csr -subj "/CN=future" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n' >future.ext
mkdir -p ca.db
: >ca.db/index.txt
echo 01 >ca.db/serial
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=ca.db/index.txt\nnew_certs_dir=ca.db\nserial=ca.db/serial\ndefault_md=sha256\npolicy=any\n[any]\ncommonName=supplied\n' >ca.db/ca.cnf
openssl ca -batch -config ca.db/ca.cnf -cert ca.pem -keyfile ca.key -in future.csr -out future.pem -notext \
  -startdate 20400101000000Z -enddate 20410101000000Z -extfile future.ext 2>/dev/null
rm -rf future.csr future.ext ca.db
