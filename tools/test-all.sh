#!/usr/bin/env bash
# Builds the native, sanitized and Windows builds and runs every test.
# Installs what a fresh Debian machine lacks first. Usage: bash tools/test-all.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${QUORL_JOBS:-$(nproc)}  # QUORL_JOBS: fewer when the machine is shared

packages="cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine64 wine xvfb xauth rapidjson-dev nlohmann-json3-dev
  libtls-dev libssl-dev openssl python3 curl fonts-droid-fallback fonts-dejavu-core"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq $missing >/dev/null || { echo "apt-get failed"; exit 1; }
fi

mkdir -p build
passed=0; failed=0; skipped=0; skipped_names=""
summary() { # adds the counts of one verbose ctest log: GoogleTest's own for its executables, one for any other test
  local counts
  counts=$(awk '
    match($0, /Test +#[0-9]+: /) {  # the result line of one CTest test
      n = substr($0, RSTART, RLENGTH); gsub(/[^0-9]/, "", n)
      result[n] = ($0 ~ / Passed +[0-9.]+ sec/) ? "pass" : "fail"; next
    }
    match($0, /^[0-9]+: /) {
      n = substr($0, 1, RLENGTH - 2); line = substr($0, RLENGTH + 1)
      if (line ~ /^\[==========\]/) gtest[n] = 1
      if (match(line, /^\[  PASSED  \] [0-9]+ test/)) ok[n] += substr(line, 14) + 0
      if (match(line, /^\[  FAILED  \] [0-9]+ test/)) bad[n] += substr(line, 14) + 0
      if (match(line, /^\[  SKIPPED \] [0-9]+ test/)) skip[n] += substr(line, 14) + 0
    }
    END {
      for (n in result) {
        if (!(n in gtest)) { if (result[n] == "pass") p++; else f++; continue }
        p += ok[n]; f += bad[n]; s += skip[n]
        # a crash, a time-out or the watchdog leaves no count of failures
        if (result[n] == "fail" && bad[n] == 0) f++
      }
      print p + 0, f + 0, s + 0
    }' "$1")
  set -- "$1" $counts
  passed=$(($passed + $2)); failed=$(($failed + $3)); skipped=$(($skipped + $4))
  skipped_names+=$(grep -E '^[0-9]+: \[  SKIPPED \] [A-Za-z_][A-Za-z_0-9/]*\.[A-Za-z_0-9/]+$' "$1" |
    sed "s|^[0-9]*: \[  SKIPPED \] |   skipped in ${1#build/}: |; s|-ctest.log||")$'\n'
  # no result line at all: ctest itself failed
  grep -qE 'Test +#[0-9]+: ' "$1" || failed=$((failed + 1))
}

start=$SECONDS
stage() { # prints the time the previous stage took, then the next stage's name
  echo "   ($((SECONDS - start)) s)"
  start=$SECONDS
  echo "== $1"
}

build() { # name, extra cmake arguments...
  local name=$1; shift
  stage "$name build"
  cmake -S . -B "build/$name" -G Ninja "$@" >"build/$name.log" 2>&1 || { cat "build/$name.log"; return 1; }
  cmake --build "build/$name" -j "$jobs" >>"build/$name.log" 2>&1 || { grep -E "error|Error" -A3 "build/$name.log" | head -n 60; return 1; }
}

run_tests() { # name, [runner prefix...]
  local name=$1; shift
  stage "$name tests"
  (cd "build/$name" && "$@" ctest -V -j "$jobs") >"build/$name-ctest.log" 2>&1
  grep -E '^[0-9]+: \[  (FAILED|PASSED|TIMEOUT) |tests passed|Failed|Timeout|\*\*\*' "build/$name-ctest.log" | sort -u | tail -n 40
  summary "build/$name-ctest.log"
}

if build native -DCMAKE_BUILD_TYPE=RelWithDebInfo; then run_tests native; else failed=$((failed + 1)); fi
if build asan -DCMAKE_BUILD_TYPE=Debug -DQUORL_SANITIZE=ON -DQUORL_PERF=OFF; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests asan
else failed=$((failed + 1)); fi
if build windows -DCMAKE_BUILD_TYPE=Release -DQUORL_PERF=OFF -DCMAKE_TOOLCHAIN_FILE="$root/tools/mingw-toolchain.cmake"; then
  export WINEPREFIX="$root/build/windows/wineprefix"
  stage "the Wine prefix"
  tools/wine-run --prepare
  run_tests windows xvfb-run -a
else failed=$((failed + 1)); fi

stage "done"
# A skipped test is no pass: each is named, and counted on the line before the sum.
printf '%s' "$skipped_names" | grep -v '^$'
echo "skipped: $skipped"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
