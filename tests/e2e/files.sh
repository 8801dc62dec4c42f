#!/bin/sh
# A world kept in a file named on the command line, the way a person keeps
# one: starts the program with the file (its name has a space, which the
# host must pass on whole), adds a vertex by double-clicking on empty map,
# saves with Ctrl+S, closes the window, starts again with the same file and
# finds the vertex on screen. Pictures, logs and the files stay in OUTDIR.
#
#   files.sh linux|wine PROGRAM OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_program "$@"

# The program is given a relative name in OUTDIR, as from a shell.
file="my world.world"
rm -f "$file" "$file".* my world.world
cp "$here/../../examples/builtin.world" "$file"
original=$(cat "$file")

start_xvfb
open_world() {  # NAME: starts the program on the file, focused
  start_program "$mode" "$program" "$file"
  wait_window 90
  window_geometry
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  sleep 1
  shot "$1"
}
# Where the double-click goes: empty map below the world, left of the
# preview and above the console (map point about (3.75, 6.7)).
spot=48x32+84+288
message=580x8+48+4  # the toolbar after the SAVE button

open_world opened
# The load's result in the toolbar; nothing at the spot yet.
expect_at_least "$(count opened $message FFFFFF)" 150 "white text of the load's message"
[ "$(count opened $spot FFFFFF)" = 0 ] || fail "something white at the spot before the click"
xdotool mousemove --window "$wid" 100 300 && sleep 0.3
xdotool click --repeat 2 --delay 80 1 && sleep 0.5
shot added
# The new vertex is selected: its square and its label "16" in the
# highlight colour.
expect_at_least "$(count added $spot FF0066)" 40 "highlighted pixels of the new vertex"
xdotool key ctrl+s && sleep 1
shot saved
expect_at_least "$(changed opened saved $message)" 50 "pixels of the toolbar message changed by saving"
grep -q "^vertex 16 " "$file" || fail "'$file' holds no vertex 16 after Ctrl+S"
[ "$(cat "$file.bak")" = "$original" ] || fail "'$file.bak' is not the file as it was"
close_and_wait 0
note "added a vertex, saved, closed"

for f in my world.world WORLD_DUMP "$file.autosave" "$file.tmp"; do
  [ ! -e "$f" ] || fail "'$f' exists: the name reached the program in pieces, or a file was left"
done

open_world reopened
# The vertex is back, unselected: a white square with its white label.
expect_at_least "$(count reopened $spot FFFFFF)" 60 "white pixels of vertex 16 after reopening"
[ "$(count reopened $spot FF0066)" = 0 ] || fail "the reopened vertex is still selected"
close_and_wait 0
note "reopened: vertex 16 is on screen"
echo "PASS: $mode world file end-to-end"
