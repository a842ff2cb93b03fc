#!/usr/bin/env bash
# Makes a throw-away certificate authority and server certificates in DIR for
# the HTTPS tests, all for 127.0.0.1 and localhost unless said otherwise:
#   server.pem          valid from now for two days
#   wrong.pem           for a host name that no test connects to
#   expired.pem         expired a day before it was made
#   future.pem          valid only from 2040
#   valid-1950-2060.pem, valid-1949-2049.pem, future-2050-2060.pem,
#   expired-1949-1950.pem
#                       dated by the years in their names (see `dated` below)
#   shortsig.pem        an ECDSA signature one of whose integers is shorter
#                       than the key (one signature in 128 has one)
#   badsig.pem          a signature that does not verify
# The authority's own signature is a short one too, so that every chain the
# tests build holds one. Usage: make_test_certs.sh DIR
set -euo pipefail
dir=${1:?usage: make_test_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"
ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
server="IP:127.0.0.1,DNS:localhost"

# Certificates with dates of their own, or many of one request at once, need
# "openssl ca" (x509 -req always starts now), with a throw-away database of
# its own. It writes a date of 1950 to 2049 as a UTCTime (two-digit year) and
# any other as a GeneralizedTime.
mkdir -p ca.db/many
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=ca.db/index.txt\nnew_certs_dir=ca.db\nserial=ca.db/serial\ndefault_md=sha256\npolicy=any\nunique_subject=no\n[any]\ncommonName=supplied\n' >ca.db/ca.cnf
: >ca.db/index.txt
echo 01 >ca.db/serial
extensions() { # file, subjectAltName (none for the authority)
  if [ -z "$2" ]; then
    printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n' >"$1"
  else
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$2" >"$1"
  fi
}
request() { # name, subjectAltName
  openssl req -new $ec -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  extensions "$1.ext" "$2"
}

# The position (from 1) of the first certificate of the PEM file whose ECDSA
# signature has an integer of fewer bytes than the P-256 key once its leading
# zero byte is dropped; 0 when none has. Read from openssl's own listing of
# the signature's DER bytes: SEQUENCE, length, INTEGER r, INTEGER s.
first_short_signature() {
  openssl crl2pkcs7 -nocrl -certfile "$1" | openssl pkcs7 -print_certs -text -noout | awk '
    function byte(i) { return (index("0123456789abcdef", substr(b[i], 1, 1)) - 1) * 16 + index("0123456789abcdef", substr(b[i], 2, 1)) - 1 }
    function short(   r, s) {
      split(hex, b, ":")
      r = byte(4); s = byte(6 + r)
      return r - (b[5] == "00") < 32 || s - (b[7 + r] == "00") < 32
    }
    /Signature Value:/ { n++; reading = 1; hex = ""; next }
    reading && /^ +[0-9a-f][0-9a-f]:/ { gsub(/[ \t]/, ""); hex = hex $0 (substr($0, length($0)) == ":" ? "" : ":"); next }
    reading { reading = 0; if (short()) { print n; found = 1; exit } }
    END { if (!found) print (reading && short()) ? n : 0 }'
}

# Signs the request 200 times in one run (four times in five one of them
# will do) until a signature has a short integer, and keeps that
# certificate: name, request, extension file, openssl ca arguments...
short_signed() {
  local name=$1 csr=$2 ext=$3 found files
  shift 3
  for _ in $(seq 40); do  # 8000 signatures without one: a chance in 10^27
    rm -f ca.db/many/*.pem
    openssl ca -batch -config ca.db/ca.cnf -notext -days 2 -extfile "$ext" -outdir ca.db/many -out /dev/null "$@" \
      -infiles $(for _ in $(seq 200); do echo "$csr"; done) 2>/dev/null
    files=(ca.db/many/*.pem)
    cat "${files[@]}" >ca.db/batch.pem
    found=$(first_short_signature ca.db/batch.pem)
    if [ "$found" != 0 ]; then
      # the certificate alone, as the other files hold it
      sed -n '/-----BEGIN CERTIFICATE-----/,/-----END CERTIFICATE-----/p' "${files[found - 1]}" >"$name"
      return 0
    fi
  done
  echo "make_test_certs.sh: no short signature in 8000" >&2
  return 1
}

openssl req -new $ec -keyout ca.key -out ca.csr -subj "/CN=quorl test CA" 2>/dev/null
extensions ca.ext ""
short_signed ca.pem ca.csr ca.ext -selfsign -keyfile ca.key
rm -f ca.csr ca.ext

issue() { # name, subjectAltName[, days]
  request "$1" "$2"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "${3:-2}" -out "$1.pem" -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
issue server "$server"
issue wrong "DNS:wrong.invalid"
issue expired "$server" -1

dated() { # name, start, end (YYYYMMDDHHMMSSZ)
  request "$1" "$server"
  openssl ca -batch -config ca.db/ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" -out "$1.pem" -notext \
    -startdate "$2" -enddate "$3" -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
dated future 20400101000000Z 20410101000000Z
# At both ends of the two-digit years and past them: valid ones, one not
# valid yet and one expired, each end in either form.
dated valid-1950-2060 19500101000000Z 20600101000000Z
dated valid-1949-2049 19490101000000Z 20491231235959Z
dated future-2050-2060 20500101000000Z 20600101000000Z
dated expired-1949-1950 19490101000000Z 19501231235959Z

request shortsig "$server"
short_signed shortsig.pem shortsig.csr shortsig.ext -cert ca.pem -keyfile ca.key
rm -f shortsig.csr shortsig.ext
rm -rf ca.db

# The last byte of the signature's value changed, the encoding left whole.
issue badsig "$server"
openssl x509 -in badsig.pem -outform DER -out badsig.der
last=$(tail -c 1 badsig.der | od -An -tu1 | tr -d ' ')
{ head -c -1 badsig.der; printf "\\$(printf %03o $((last ^ 1)))"; } >badsig.bad
openssl x509 -inform DER -in badsig.bad -out badsig.pem
rm -f badsig.der badsig.bad
