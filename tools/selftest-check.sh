#!/usr/bin/env bash
# Runs "quorl --selftest" on every bundled sample (from inside samples/, so
# the report names files as given) and on the cases of tests/app/selftest/,
# and compares each report and exit status with tests/app/selftest/*.out
# byte for byte.
# Usage: tools/selftest-check.sh [--network] [--update] RUNNER...
#   RUNNER: the program, with any launcher before it (tools/wine-run X.exe).
#   --network: only the network self test on selftest.json against the local
#              server (run it under tools/with-test-server).
#   --update:  rewrite the .out files from what the program prints now.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
network=0 update=0
while [ $# -gt 0 ]; do
  case "$1" in
    --network) network=1; shift ;;
    --update) update=1; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--network] [--update] RUNNER..."; exit 2; }
expected=$root/tests/app/selftest
failed=0
check() { # name, arguments after --selftest... (run in CHECK_DIR, samples/ by default)
  local name=$1; shift
  local got
  got=$(cd "${CHECK_DIR:-$root/samples}" && env "$@"; echo "exit $?")
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
if [ "$network" = 1 ]; then
  [ -n "${QUORL_TEST_SERVER:-}" ] || { echo "no local server (run under tools/with-test-server)"; exit 2; }
  check network QUORL_BENCH_SERVER="$QUORL_TEST_SERVER" "${runner[@]}" --selftest selftest.json
else
  for sample in "$root"/samples/*.json; do
    name=$(basename "$sample" .json)
    check "$name" QUORL_BENCH_SERVER= "${runner[@]}" --selftest "$name.json"
  done
  check no-file QUORL_BENCH_SERVER= "${runner[@]}" --selftest
  check not-json QUORL_BENCH_SERVER= "${runner[@]}" --selftest ../tests/app/selftest/not-json.txt
  check missing QUORL_BENCH_SERVER= "${runner[@]}" --selftest no-such-file.json
  # A file whose name is not ASCII opens from the command line like any other
  # (in a UTF-8 locale, so that the name reaches Wine's command line intact).
  unicode=$(mktemp -d)
  cp "$root/samples/selftest.json" "$unicode/résumé 日本.json"
  CHECK_DIR=$unicode check unicode-name LC_ALL=C.UTF-8 QUORL_BENCH_SERVER= "${runner[@]}" \
    --selftest "résumé 日本.json"
  rm -rf "$unicode"
fi
[ "$failed" -eq 0 ]
