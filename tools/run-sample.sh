#!/usr/bin/env bash
# Builds the Windows program and runs its main job on a bundled sample under
# Wine: it opens the file, shows the main window with its chart, table and
# status line, and saves a screenshot of it. On the user's display when there
# is one, on a virtual one (Xvfb) otherwise. Installs what a fresh Debian
# machine lacks first (as root).
#
#   bash tools/run-sample.sh [FILE]         the Windows program (default)
#   bash tools/run-sample.sh --native [FILE] the native build's self test of FILE
#
# FILE defaults to samples/corpus.json (samples/selftest.json with --native).
# The screenshot goes to build/sample-window.png; the status lines the program
# prints are shown as they come.
set -uo pipefail
cd "$(dirname "$0")/.."
native=0 inner=0
if [ "${1:-}" = "--native" ]; then native=1; shift; fi
if [ "${1:-}" = "--inside-display" ]; then inner=1; shift; fi

shot="$PWD/build/sample-window.png"
out="$PWD/build/sample-window.out"
rm -f "$shot" "$out"
# One session: the program opens the file, and once its status line says the
# file is open (or after 30 s) the screen is saved; the program then ends by
# itself (UX_AUTOQUIT) or is closed.
session() {
  # As a desktop shows it: a window manager's frame where there is one, the
  # client area alone on Xvfb (Wine's own frame there lacks its symbols).
  export QUORL_WINE_MANAGED=Y
  UX_AUTOQUIT=60000 tools/wine-run build/sample-windows/quorl.exe "$file" >"$out" 2>&1 &
  local pid=$! waited=0
  while [ $waited -lt 300 ] && ! grep -qE '^(Opened|Could not)' "$out" 2>/dev/null; do
    sleep 0.1; waited=$((waited + 1))
  done
  sleep 1  # the first paint follows the status line
  import -window root "$shot" 2>/dev/null || echo "could not save the screenshot"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  WINEPREFIX=$PWD/build/sample-windows/wineprefix wineserver -k 2>/dev/null
  cat "$out"
}

if [ $inner = 1 ]; then  # the run on the virtual display that the outer run made
  file=$1
  session
  exit 0
fi

if [ $native = 1 ]; then
  packages="cmake ninja-build g++ libtls-dev libssl-dev"
else
  packages="cmake ninja-build g++-mingw-w64-x86-64-posix wine64 wine xvfb xauth imagemagick fonts-droid-fallback fonts-dejavu-core"
fi
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
jobs=${JOBS:-$(nproc)}

if [ $native = 1 ]; then
  cmake -S . -B build/sample -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_TESTS=OFF -DQUORL_PERF=OFF \
    >build/sample.log 2>&1 || { cat build/sample.log; exit 1; }
  cmake --build build/sample --target quorl -j "$jobs" >>build/sample.log 2>&1 || { tail -n 40 build/sample.log; exit 1; }
  exec build/sample/quorl --selftest "${1:-samples/selftest.json}"
fi

file=${1:-samples/corpus.json}
[ -f "$file" ] || { echo "no such file: $file"; exit 1; }
echo "building the Windows program (build/sample-windows)"
cmake -S . -B build/sample-windows -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_TESTS=OFF -DQUORL_PERF=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/mingw-toolchain.cmake" >build/sample-windows.log 2>&1 ||
  { cat build/sample-windows.log; exit 1; }
cmake --build build/sample-windows --target quorl -j "$jobs" >>build/sample-windows.log 2>&1 ||
  { tail -n 40 build/sample-windows.log; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  session
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inside-display "$file"
fi
[ -f "$shot" ] && echo "screenshot of the main window: $shot"
