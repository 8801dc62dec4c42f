#!/bin/sh
# Measures the CPU the running program uses at its 8 ms cadence on a private
# X server: presses Tab TABS times (0: editor with preview, 1: editor, 2:
# gameplay, the default), lets it run, then closes the window. A figure to
# read, not a test.
#
#   cpu.sh PROGRAM OUTDIR [SECONDS] [TABS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
program=$(absolute "$1")
e2e_init "$2"
start_xvfb
/usr/bin/time -f "%U %S %e" -o "$out/time.txt" "$program" >"$out/program.log" 2>&1 &
app_pid=$!
wait_window 30
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
for _ in $(seq "${4:-2}"); do xdotool key Tab; done
sleep "${3:-20}"
close_and_wait 0
read -r user sys elapsed <"$out/time.txt"
awk -v u="$user" -v s="$sys" -v e="$elapsed" 'BEGIN {
  printf "user %.2f s, system %.2f s over %.2f s: %.1f%% of one core\n", u, s, e, 100 * (u + s) / e }'
