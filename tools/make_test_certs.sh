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

# The first of the certificates whose ECDSA signature has an integer of fewer
# bytes than the P-256 key (a leading zero byte dropped); nothing when none.
first_short_signature() {
  python3 - "$@" <<'EOF'
import base64, sys
def short(path):
    lines = open(path).read().split("\n")
    der = base64.b64decode("".join(lines[lines.index("-----BEGIN CERTIFICATE-----") + 1:lines.index("-----END CERTIFICATE-----")]))
    def element(at):  # the contents of the DER element at `at`: (start, end)
        n = der[at + 1]
        at += 2
        if n & 0x80:
            k = n & 0x7F
            n, at = int.from_bytes(der[at:at + k], "big"), at + k
        return at, at + n
    at = element(0)[0]
    at = element(element(at)[1])[1]  # past the signed part and the algorithm
    at = element(element(at)[0] + 1)[0]  # into the signature's bit string, then its SEQUENCE
    for _ in range(2):
        start, end = element(at)
        if len(der[start:end].lstrip(b"\0")) < 32:
            return True
        at = end
    return False
print(next((p for p in sys.argv[1:] if short(p)), ""))
EOF
}

# Signs the request many times in one run and keeps a certificate with a
# short signature: name, request, extension file, openssl ca arguments...
short_signed() {
  local name=$1 csr=$2 ext=$3 found
  shift 3
  for _ in 1 2 3 4 5 6 7 8; do
    rm -f ca.db/many/*.pem
    openssl ca -batch -config ca.db/ca.cnf -notext -days 2 -extfile "$ext" -outdir ca.db/many -out /dev/null "$@" \
      -infiles $(for _ in $(seq 1000); do echo "$csr"; done) 2>/dev/null
    found=$(first_short_signature ca.db/many/*.pem)
    if [ -n "$found" ]; then
      # the certificate alone, as the other files hold it
      sed -n '/-----BEGIN CERTIFICATE-----/,/-----END CERTIFICATE-----/p' "$found" >"$name"
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
  openssl req $ec -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  extensions "$1.ext" "$2"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "${3:-2}" -out "$1.pem" -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
issue server "$server"
issue wrong "DNS:wrong.invalid"
issue expired "$server" -1

dated() { # name, start, end (YYYYMMDDHHMMSSZ)
  openssl req $ec -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  extensions "$1.ext" "$server"
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

openssl req -new $ec -keyout shortsig.key -out shortsig.csr -subj "/CN=shortsig" 2>/dev/null
extensions shortsig.ext "$server"
short_signed shortsig.pem shortsig.csr shortsig.ext -cert ca.pem -keyfile ca.key
rm -f shortsig.csr shortsig.ext
rm -rf ca.db

# The last byte of the signature's value changed, the encoding left whole.
issue badsig "$server"
python3 -c '
import base64, sys
lines = open(sys.argv[1]).read().split("\n")
der = bytearray(base64.b64decode("".join(lines[1:lines.index("-----END CERTIFICATE-----")])))
der[-1] ^= 0x01
text = base64.b64encode(bytes(der)).decode()
open(sys.argv[1], "w").write("-----BEGIN CERTIFICATE-----\n" + "".join(text[i:i + 64] + "\n" for i in range(0, len(text), 64))
                             + "-----END CERTIFICATE-----\n")
' badsig.pem
