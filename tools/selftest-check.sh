#!/usr/bin/env bash
# Runs "quorl --selftest" on every bundled sample (from inside samples/, so
# the report names files as given) and on the cases of tests/app/selftest/,
# and compares each report and exit status with tests/app/selftest/*.out
# byte for byte.
# Usage: tools/selftest-check.sh [--network | --irregular] [--update] RUNNER...
#   RUNNER: the program, with any launcher before it (tools/wine-run X.exe).
#   --network: only the network self test on selftest.json against the local
#              server (run it under tools/with-test-server).
#   --irregular: only files that are not regular (a named pipe, a link to
#              /dev/zero; POSIX) and a 40 MB file of empty objects: each must
#              be refused, and the run's peak memory stay under 300 MB. A
#              hang is the caller's time-out.
#   --update:  rewrite the .out files from what the program prints now.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
network=0 update=0 irregular=0
while [ $# -gt 0 ]; do
  case "$1" in
    --network) network=1; shift ;;
    --irregular) irregular=1; shift ;;
    --update) update=1; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--network | --irregular] [--update] RUNNER..."; exit 2; }
expected=$root/tests/app/selftest
failed=0
where=$root/samples
check() { # name, arguments after --selftest... (run in $where)
  local name=$1; shift
  local got
  got=$(cd "$where" && env "$@"; echo "exit $?")
  if [ "$update" = 1 ]; then
    printf '%s\n' "$got" > "$expected/$name.out"
  elif [ "$got" != "$(cat "$expected/$name.out")" ]; then
    echo "FAILED: $name"
    diff <(printf '%s\n' "$got") "$expected/$name.out" | head -20
    failed=$((failed + 1))
  else
    echo "ok: $name"
  fi
}
runner=("$@")
# The reports are made from inside samples/: paths given relative to here
# must still lead to the program.
for i in "${!runner[@]}"; do
  [ -e "${runner[$i]}" ] && runner[$i]=$(cd "$(dirname "${runner[$i]}")" && pwd)/$(basename "${runner[$i]}")
done
if [ "$irregular" = 1 ]; then
  where=$(mktemp -d)
  trap 'rm -rf "$where"' EXIT
  mkfifo "$where/pipe.json"
  ln -s /dev/zero "$where/zero.json"
  # Runs the program and adds a line on its peak resident memory.
  peak='
import resource, subprocess, sys
status = subprocess.run(sys.argv[1:]).returncode
sys.stdout.flush()
kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print("peak memory under 300 MB" if kib < 300 * 1024 else "peak memory %d KiB" % kib)
sys.exit(status)'
  python3 -c "open('$where/dense.json', 'w').write('[' + '{},' * 13333333 + '{}]')"
  for name in pipe zero dense; do
    check "irregular-$name" QUORL_BENCH_SERVER= python3 -c "$peak" "${runner[@]}" --selftest "$name.json"
  done
elif [ "$network" = 1 ]; then
  [ -n "${QUORL_TEST_SERVER:-}" ] || { echo "no local server (run under tools/with-test-server)"; exit 2; }
  check network QUORL_BENCH_SERVER="$QUORL_TEST_SERVER" "${runner[@]}" --selftest selftest.json
  # A server whose corpus is sound and whose reply to a submission is 200 MB
  # of empty objects: refused past the reply's cap, never read whole.
  check network-big-reply QUORL_BENCH_SERVER="$QUORL_TEST_SERVER/bigreply/209715200?" "${runner[@]}" \
    --selftest selftest.json
else
  for sample in "$root"/samples/*.json; do
    name=$(basename "$sample" .json)
    check "$name" QUORL_BENCH_SERVER= "${runner[@]}" --selftest "$name.json"
  done
  check no-file QUORL_BENCH_SERVER= "${runner[@]}" --selftest
  check not-json QUORL_BENCH_SERVER= "${runner[@]}" --selftest ../tests/app/selftest/not-json.txt
  check missing QUORL_BENCH_SERVER= "${runner[@]}" --selftest no-such-file.json
  # Set to a value too long to be taken: a failure, not a skip, and nothing
  # sent to the built-in server instead.
  check long-server QUORL_BENCH_SERVER="http://127.0.0.1:1/$(head -c 4077 /dev/zero | tr '\0' p)" \
    "${runner[@]}" --selftest selftest.json
  # A report that could not be written whole is no pass, whatever it said:
  # standard output on a full disk, closed, or a pipe that nobody reads.
  check report-full QUORL_BENCH_SERVER= sh -c 'exec "$@" >/dev/full' sh "${runner[@]}" --selftest selftest.json
  check report-closed QUORL_BENCH_SERVER= sh -c 'exec "$@" >&-' sh "${runner[@]}" --selftest selftest.json
  check report-unread QUORL_BENCH_SERVER= python3 -c '
import os, subprocess, sys
reader, writer = os.pipe()
os.close(reader)
sys.exit(subprocess.run(sys.argv[1:], stdout=writer).returncode)' "${runner[@]}" --selftest selftest.json
  # A file whose name is not ASCII opens from the command line like any other
  # (in a UTF-8 locale, so that the name reaches Wine's command line intact).
  unicode=$(mktemp -d)
  cp "$root/samples/selftest.json" "$unicode/résumé 日本.json"
  where=$unicode
  check unicode-name LC_ALL=C.UTF-8 QUORL_BENCH_SERVER= "${runner[@]}" --selftest "résumé 日本.json"
  where=$root/samples
  rm -rf "$unicode"
fi
[ "$failed" -eq 0 ]
