#!/bin/sh
# Measures the CPU the running program uses at its 8 ms cadence: starts it
# under /usr/bin/time on a private X server, switches to the given game
# state with Tab and lets it run, then closes the window. Not part of the
# test suite: a figure to read, not a pass or fail.
#
#   cpu.sh PROGRAM OUTDIR [SECONDS] [TABS]
#
# TABS is how many times to press Tab after start-up (0: editor with
# preview, 1: editor, 2: gameplay; the default).
set -eu
program=$1
out=$2
seconds=${3:-20}
tabs=${4:-2}
case $program in /*) ;; *) program="$PWD/$program" ;; esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$here/lib.sh"

start_xvfb
build_close_helper
/usr/bin/time -f "%U %S %e" -o "$out/time.txt" "$program" >"$out/program.log" 2>&1 &
app_pid=$!
wait_window 30
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
i=0
while [ $i -lt "$tabs" ]; do
  xdotool key Tab
  i=$((i + 1))
done
sleep "$seconds"
close_and_wait 0
read -r user sys elapsed <"$out/time.txt"
awk -v u="$user" -v s="$sys" -v e="$elapsed" 'BEGIN {
  printf "user %.2f s, system %.2f s over %.2f s: %.1f%% of one core\n", u, s, e, 100 * (u + s) / e }'
