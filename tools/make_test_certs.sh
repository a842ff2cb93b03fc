#!/usr/bin/env bash
# Makes a throw-away certificate authority and two server certificates in DIR
# for the HTTPS tests: server.pem for 127.0.0.1 and localhost, wrong.pem for
# a host name that no test connects to, expired.pem for 127.0.0.1 and
# localhost that expired a day before it was made, future.pem for the same
# hosts valid only from 2040, and for the same hosts valid-1950-2060.pem,
# valid-1949-2049.pem, future-2050-2060.pem and expired-1949-1950.pem, named
# by the years they hold (see `dated` below), and badsig.pem, whose signature
# does not verify. Usage: make_test_certs.sh DIR
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
# A start other than now needs "openssl ca" (x509 -req always starts now),
# with a throw-away database of its own. It writes a date of 1950 to 2049 as
# a UTCTime (two-digit year) and any other as a GeneralizedTime.
mkdir -p ca.db
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=ca.db/index.txt\nnew_certs_dir=ca.db\nserial=ca.db/serial\ndefault_md=sha256\npolicy=any\n[any]\ncommonName=supplied\n' >ca.db/ca.cnf
echo 01 >ca.db/serial
dated() { # name, start, end (YYYYMMDDHHMMSSZ)
  openssl req $ec -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$1.ext"
  : >ca.db/index.txt
  openssl ca -batch -config ca.db/ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" -out "$1.pem" -notext \
    -startdate "$2" -enddate "$3" -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
dated future 20400101000000Z 20410101000000Z
# Dated at both ends of the two-digit years and past them: valid ones, one
# not valid yet and one expired, each end in either form.
dated valid-1950-2060 19500101000000Z 20600101000000Z
dated valid-1949-2049 19490101000000Z 20491231235959Z
dated future-2050-2060 20500101000000Z 20600101000000Z
dated expired-1949-1950 19490101000000Z 19501231235959Z
rm -rf ca.db
# A certificate whose signature does not verify: the last byte of the
# signature's value changed, the encoding left whole.
issue badsig "IP:127.0.0.1,DNS:localhost"
python3 -c '
import base64, sys
lines = open(sys.argv[1]).read().split("\n")
der = bytearray(base64.b64decode("".join(lines[1:lines.index("-----END CERTIFICATE-----")])))
der[-1] ^= 0x01
text = base64.b64encode(bytes(der)).decode()
open(sys.argv[1], "w").write("-----BEGIN CERTIFICATE-----\n" + "".join(text[i:i + 64] + "\n" for i in range(0, len(text), 64))
                             + "-----END CERTIFICATE-----\n")
' badsig.pem
