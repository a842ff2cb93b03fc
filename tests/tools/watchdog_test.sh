#!/usr/bin/env bash
# The watchdog of every test executable (tests/main/TestMain.cpp) on tests
# that never end: one that spins is ended at its limit of processor time,
# one that waits for ever once the clock reaches five times the limit, and
# one that only waits twice its limit runs to its end. Each is told by what
# the executable prints and its status, never by how long it took.
#   watchdog_test.sh RUNNER...   (the stand-in, with any launcher before it)
set -u
[ $# -gt 0 ] || { echo "usage: $0 RUNNER..."; exit 2; }
failures=0
run() { # test name: prints the output, sets status
  out=$(QUORL_TEST_LIMIT_S=1 "$@" --gtest_also_run_disabled_tests --gtest_filter="Watchdog.DISABLED_$name" 2>&1)
  status=$?
  out=${out//$'\r'/}
}
check() { # what, condition's status
  if [ "$2" = 0 ]; then echo "ok: $1"; else
    echo "FAILED: $1 (status $status)"; printf '%s\n' "$out" | tail -n 5 | sed 's/^/  /'
    failures=$((failures + 1))
  fi
}
timeout_line() { printf '%s\n' "$out" | grep -E "^\[  TIMEOUT \] Watchdog\.DISABLED_$name ran past its limit of 1 s \(([0-9]+) s of processor time, ([0-9]+) s in all\)$"; }

name=Spins; run "$@"
line=$(timeout_line)
cpu=$(sed -E 's/.*\(([0-9]+) s of.*/\1/' <<<"$line")
[ "$status" = 1 ] && [ -n "$line" ] && [ "$cpu" -ge 1 ]
check "a test that spins is ended and named at its limit of processor time" $?

name=WaitsForever; run "$@"
line=$(timeout_line)
cpu=$(sed -E 's/.*\(([0-9]+) s of.*/\1/' <<<"$line") all=$(sed -E 's/.*, ([0-9]+) s in all.*/\1/' <<<"$line")
[ "$status" = 1 ] && [ -n "$line" ] && [ "$cpu" = 0 ] && [ "$all" -ge 5 ]
check "a test that waits for ever is ended once the clock reaches five times its limit" $?

name=WaitsTwiceItsLimit; run "$@"
[ "$status" = 0 ] && grep -q '^\[  PASSED  \] 1 test' <<<"$out" && ! grep -q TIMEOUT <<<"$out"
check "a test that spends no processor time is not ended at its limit on the clock" $?
[ "$failures" = 0 ]
