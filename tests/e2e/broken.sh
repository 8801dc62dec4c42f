#!/bin/sh
# A program built without its font must refuse to start: no game window,
# the error box captioned "An error occurred", and exit code 1 once the box
# is closed.
#
#   broken.sh linux|wine PROGRAM OUTDIR
set -eu
mode=$1
program=$2
out=$3
case $program in /*) ;; *) program="$PWD/$program" ;; esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$here/lib.sh"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"

start_xvfb
build_close_helper
note "display $DISPLAY, $mode, $program"
start_program "$mode" "$program"
wait_window 90 "An error occurred"
[ -z "$(find_window OM_WND)" ] ||
  fail "a game window opened although start-up failed"
window_geometry
note "error box $wid: ${win_w}x${win_h} at ($win_x, $win_y)"
sleep 0.5
shot error-box
close_and_wait 1
note "closed, exit code 1"
echo "PASS: $mode start-up failure"
