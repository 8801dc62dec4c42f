#!/bin/sh
# A program built without its font must refuse to start: no game window, the
# error box captioned "An error occurred", and exit code 1 once it is closed.
#
#   broken.sh linux|wine PROGRAM OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_init "$3"
start_xvfb
start_program "$1" "$(absolute "$2")"
wait_window 90 "An error occurred"
[ -z "$(find_window OM_WND)" ] || fail "a game window opened although start-up failed"
# On Linux the reason also reaches the terminal, for runs nobody watches.
[ "$1" != linux ] || grep -q "^An error occurred: ." "$out/program.log" ||
  fail "the reason for the failed start was not printed"
window_geometry
sleep 0.5
shot error-box
close_and_wait 1
echo "PASS: $1 start-up failure"
