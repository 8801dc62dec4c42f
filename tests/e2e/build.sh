#!/bin/sh
# Builds a room in the real program with the mouse and the keys, the way a
# map maker would: draws a square beside the built-in world's sector 2,
# walks through the new portal into it in gameplay, and takes it back with
# undo. Pictures (drawing in progress, the finished room, the walk) and logs
# stay in OUTDIR.
#
#   build.sh linux|wine PROGRAM OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_program "$@"

# Window pixel of map point (X, Y) in the start view: pan (-12, -4), zoom 24
# in the 640 x 464 map at window row 16.
at() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%d %d\n", (x - 12) / 24 * 640 + 320, (y - 4) / 24 * 464 + 248 }'; }
map_click() { # X Y [KEY]: a left click at that map point, KEY held for it
  set -- $(at "$1" "$2") "${3:-}"
  xdotool mousemove --window "$wid" "$1" "$2" && sleep 0.15
  if [ -n "$3" ]; then
    # Only for the click: Ctrl held in the editor also sinks the player.
    xdotool keydown "$3" mousedown 1 keyup "$3" mouseup 1
  else
    xdotool click 1
  fi
  sleep 0.25
}
# Pixels of colour RRGGBB in a 13 x 13 box around map point (X, Y) of shot NAME.
near() { # NAME X Y RRGGBB
  set -- "$1" $(at "$2" "$3") "$4"
  count "$1" 13x13+$(($2 - 6))+$(($3 - 6)) "$4"
}

start_xvfb
start_program "$mode" "$program"
wait_window 90
window_geometry
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
sleep 1

# The editor without the preview; the player goes to (4, 1) in sector 2,
# facing along +x towards its wall x = 5 (the wrap-around portal).
xdotool key Tab && sleep 0.3
map_click 4 1 ctrl
# The room (5, 0) - (7, 2): two corners reuse sector 2's vertices.
xdotool key Insert && sleep 0.2
map_click 5 0
map_click 7 0
map_click 7 2
set -- $(at 6 3)
xdotool mousemove --window "$wid" "$1" "$2" && sleep 0.4
shot drawing
map_click 5 2
xdotool key Return && sleep 0.4
shot room

expect_at_least "$(count drawing 640x384+0+16 FFCC00)" 150 "outline and rubber band pixels while drawing"
expect_at_least "$(near drawing 6 3 FFCC00)" 10 "the rubber band's end at the pointer"
[ "$(count room 640x384+0+16 FFCC00)" = 0 ] || fail "the outline is still shown after Enter"
expect_at_least "$(near room 7 1 666666)" 5 "the new room's east wall on the map"
note "drew the room (5, 0) - (7, 2) with the mouse"

# Gameplay: walk into it. The view changes as the player crosses x = 5, and
# back in the editor the map fills the sector the player now stands in.
xdotool key Tab && sleep 0.5
shot before-walk
xdotool keydown w && sleep 0.15 && xdotool keyup w && sleep 1.2
shot after-walk
expect_at_least "$(changed before-walk after-walk 640x480+0+0)" 15000 "pixels changed by walking"
xdotool key Tab && sleep 0.3 && xdotool key Tab && sleep 0.5
shot in-room
expect_at_least "$(near in-room 6 1 113311)" 100 "the new room filled as the player's sector"
note "walked through the new portal into the room"

# Undo: the room is gone from the map.
xdotool key ctrl+z && sleep 0.5
shot undone
[ "$(near undone 7 1 666666)" = 0 ] && [ "$(near undone 7 1 FFFFFF)" = 0 ] ||
  fail "the room's wall is still on the map after undo"
[ "$(near undone 6 1 113311)" = 0 ] || fail "the room is still filled after undo"
note "undo took the room back"

close_and_wait 0
note "closed, exit code 0"
echo "PASS: $mode building a room"
