#!/usr/bin/env bash
# The Windows program under Wine and Xvfb opening a corpus of 100,000 runs:
# the time from launch to the status line "Opened 100000 runs: ...", which
# the program prints after the runs table has been reloaded, its list view
# realised and the window repainted. The same is measured for a 5-run
# sample in the same session; the difference is what the big corpus costs
# (reading, charting, and showing the table), of which the list view's part
# is a count handed to a virtual list: its cells are asked for only as they
# are painted.
# The program's own figure, from its creation to its first paint, is printed
# beside (QUORL_FIRST_PAINT).
# Then the list's selection at 100,000 rows, step by step (a click, a
# Shift+click of 300 rows, select-all, a Ctrl+click after it, and the
# program's own selections pushed into the list), timed in the list tests'
# run, whose messages those tests count; beside them the figures from
# before a change crossed by the rows it names.
# Usage: bash perf/win32_runs_table.sh [RUNS]   (after building build/windows;
# on a display: xvfb-run -a bash perf/win32_runs_table.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-100000}
exe=build/windows/quorl.exe
[ -x "$exe" ] || { echo "build $exe first (cmake --build build/windows --target quorl)"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$runs" "$tmp/corpus.json" <<'PY'
import json, random, sys
runs, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(7)
suites = {"langs": ["int_accum", "fib", "sort", "json", "nbody"], "par": ["mandel", "scan", "reduce"]}
contributions, left, m = [], runs, 0
while left > 0:
    n = min(500, left)
    left -= n
    m += 1
    out = []
    for i in range(n):
        suite = rng.choice(sorted(suites))
        target = rng.choice(["quorl", "cpp", "rust", "go"])
        out.append({"suite": suite, "benchmark": rng.choice(suites[suite]), "target": target,
                    "device": rng.choice(["cpu", "cpu-all", "gpu"]), "opt": rng.choice(["O2", "O3"]),
                    "arch": rng.choice(["x86_64", "arm64"]), "params": {"lang": target, "n": str(i % 7)},
                    "samples_us": [rng.randint(1000, 200000) for _ in range(5)]})
    contributions.append({"schema": "quorl-bench/1", "id": "gen-%d" % m,
                          "machine": {"os": "Linux", "arch": "x86_64", "cpu": "CPU %d" % (m % 40),
                                      "gpu": "GPU %d" % (m % 7)}, "runs": out})
json.dump({"contributions": contributions}, open(path, "w"))
PY
measure() {  # FILE -> seconds from launch to the "Opened" line, and the program's own first-paint time
  python3 - "$exe" "$1" <<'PY'
import os, subprocess, sys, time
env = dict(os.environ, UX_AUTOQUIT="1500", QUORL_FIRST_PAINT="1")
start = time.monotonic()
p = subprocess.Popen(["wine", sys.argv[1], sys.argv[2]], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
opened, painted = None, ""
for line in p.stdout:
    text = line.decode("utf-8", "replace").strip()
    if text.startswith("first paint after"):
        painted = " (" + text + ", as the program counts from its creation)"
    if text.startswith("Opened") and opened is None:
        opened = "%.2f %s" % (time.monotonic() - start, text)
    if opened and painted:
        break
p.wait()
print((opened or "none") + painted)
PY
}
cp samples/contributions.json "$tmp/small.json"
measure "$tmp/small.json" >/dev/null  # a first Wine start warms the prefix
small=$(measure "$tmp/small.json")
big=$(measure "$tmp/corpus.json")
echo "small sample: ${small}"
echo "${runs} runs:  ${big}"
python3 -c "import sys; a=float(sys.argv[1]); b=float(sys.argv[2]); print('difference: %.2f s' % (b - a))" \
  "${small%% *}" "${big%% *}"
tests=build/windows/tests/test_ux_win32.exe
if [ -x "$tests" ]; then
  echo "selection at 100000 rows (before: a Ctrl+click after select-all 4 to 6 s, one question to the list"
  echo "  a selected row; pushing 100000 selected rows 13 s, one write a row):"
  QUORL_STEP_TIMES=1 wine "$tests" --gtest_filter=ControlsTest.SelectionsCrossByTheRowsThatChangedAtAHundredThousandRows \
    2>/dev/null | grep '^step' | sed 's/^/  /'
fi
