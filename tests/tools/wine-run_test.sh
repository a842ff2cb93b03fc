#!/usr/bin/env bash
# tools/wine-run on stand-in programs: how often it starts each, and whether
# it reports the program's own status and output.
#   wine-run_test.sh STAND_IN.exe BUILD_FOLDER
# Each row: the name the stand-in runs under, its arguments after the count
# file, then the status, the number of runs and the output wine-run must give.
# On a prepared prefix no start sets again what it finds set (each `wine reg` costs half a second):
# a stand-in for wine on the PATH counts the `wine reg` calls of every row.
set -u
standin=$1 build=$(cd "$2" && pwd) || exit 2
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=$build/wineprefix
# A program that ends silently and unmarked is started again only when it
# ended within Wine's start-up time: that time is made far longer than a
# loaded machine takes to run the stand-in, so that each row's count is the
# rule's, not the clock's.
export QUORL_WINE_STARTUP_S=3600
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

rows=(
  # a program that is no test executable, silent and failing: started once
  "quorl.exe|5||5|1|"
  # a test executable that prints and fails: its status, not the pipe's
  "test_prints.exe|3|three|3|1|three"
  # a silent test executable that wrote its start mark: it ran, once
  "test_marked.exe|4|--mark|4|1|"
  # a silent test executable that never started: started once more
  "test_unstarted.exe|4||4|2|"
  "test_passes.exe|0||0|1|"
)
real_wine=$(command -v wine) || { echo "no wine"; exit 2; }
mkdir "$work/bin"
cat >"$work/bin/wine" <<EOF
#!/bin/sh
[ "\$1" = reg ] && printf '%s\\n' "\$*" >>"$work/reg-calls"
exec "$real_wine" "\$@"
EOF
chmod +x "$work/bin/wine"
export PATH=$work/bin:$PATH
"$root/tools/wine-run" --prepare "$build" >/dev/null 2>&1  # sets whatever this prefix still lacked
rm -f "$work/reg-calls"
failures=0
# Where an installed font has Hebrew glyphs, the native controls' font names
# such a font: links never reach their right-to-left text.
if [ -n "$(fc-list :lang=ar:lang=he family 2>/dev/null)" ]; then
  for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    family=$(sed -n "s/^\"$face\"=\"\(.*\)\"\$/\1/p" "$WINEPREFIX/system.reg")  # FontSubstitutes alone holds it
    if [ -n "$family" ] && [ -n "$(fc-list ":family=$family:lang=he" family 2>/dev/null)" ]; then
      echo "ok: $face is $family, which has Hebrew glyphs"
    else
      echo "FAILED: $face is '$family', no font with Hebrew glyphs"
      failures=$((failures + 1))
    fi
  done
fi
for row in "${rows[@]}"; do
  IFS='|' read -r name status text want_status want_runs want_out <<<"$row"
  program=$work/$name count=$work/$name.runs
  cp "$standin" "$program"
  rm -f "$count"
  args=("Z:${count//\//\\}" "$status")
  [ -n "$text" ] && args+=("$text")
  out=$("$root/tools/wine-run" "$program" "${args[@]}" 2>"$work/stderr")
  got_status=$?
  out=${out//$'\r'/}
  got_runs=$(grep -c run "$count" 2>/dev/null)
  if [ "$got_status" != "$want_status" ] || [ "${got_runs:-0}" != "$want_runs" ] || [ "$out" != "$want_out" ]; then
    echo "FAILED $name: status $got_status (want $want_status), runs ${got_runs:-0} (want $want_runs)," \
      "output '$out' (want '$want_out')"
    sed 's/^/  stderr: /' "$work/stderr"
    failures=$((failures + 1))
  else
    echo "ok $name: status $got_status, runs $got_runs"
  fi
done
if [ -s "$work/reg-calls" ]; then
  echo "FAILED: $(wc -l <"$work/reg-calls") wine reg calls on a prepared prefix:"
  sed 's/^/  /' "$work/reg-calls"
  failures=$((failures + 1))
else
  echo "ok: no wine reg call on a prepared prefix"
fi
[ "$failures" = 0 ]
