#!/usr/bin/env bash
# Builds the program natively and runs its main job on a bundled sample: the
# self test of samples/selftest.json, printing its report. Installs what a
# fresh Debian machine lacks first (as root). Usage: bash tools/run-sample.sh [FILE]
set -uo pipefail
cd "$(dirname "$0")/.."
packages="cmake ninja-build g++ libtls-dev"
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
cmake -S . -B build/sample -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_TESTS=OFF -DQUORL_PERF=OFF \
  >build/sample.log 2>&1 || { cat build/sample.log; exit 1; }
cmake --build build/sample --target quorl -j "${JOBS:-$(nproc)}" >>build/sample.log 2>&1 || { tail -n 40 build/sample.log; exit 1; }
build/sample/quorl --selftest "${1:-samples/selftest.json}"
