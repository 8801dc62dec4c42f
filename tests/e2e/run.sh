#!/bin/sh
# Drives the real program in a real window on a private X server, the way a
# person would: looks at the editor, goes to gameplay, walks, comes back,
# double-clicks in the map, looks around with the mouse and closes the
# window. Pictures and logs stay in
# OUTDIR.
#
#   run.sh linux|wine PROGRAM OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_program "$@"  # the double-click below is an edit

# No display at all: the window cannot be made, which is a failed start.
[ "$mode" = linux ] || { wine_env "$program" && stop_wineserver; }
code=0
(
  unset DISPLAY WAYLAND_DISPLAY
  [ "$mode" = linux ] && exec timeout 60 "$program"
  exec timeout 60 wine "$program"
) >"$out/no-display.log" 2>&1 || code=$?
stop_wineserver
[ "$code" = 1 ] || fail "exit code $code without a display, not 1"
note "without a display: exit code 1"

start_xvfb
start_program "$mode" "$program"
wait_window 90  # wine needs a while the first time it starts in a prefix
window_geometry
note "display $DISPLAY, $mode: window $wid, ${win_w}x${win_h} at ($win_x, $win_y)"
[ "$win_w" = 640 ] && [ "$win_h" = 480 ] || fail "client area is ${win_w}x${win_h}, not 640x480"
# Centred. Windows centres the outer frame: with no window manager here,
# wine shows only the client area, lower by about half the caption.
[ "$win_x" = $(((E2E_SCREEN_W - 640) / 2)) ] || fail "window not centred across: x = $win_x"
dy=$((win_y - (E2E_SCREEN_H - 480) / 2))
[ "$dy" -ge 0 ] && [ "$dy" -le $([ "$mode" = linux ] && echo 0 || echo 20) ] ||
  fail "window not centred down: y = $win_y"
hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
echo "$hints" | grep -q "minimum size: 640 by 480" && echo "$hints" | grep -q "maximum size: 640 by 480" ||
  fail "the window can be resized: $hints"
# The program's icon: nested squares with a light yellow centre, 42x42;
# Windows loads it at the system's icon size.
icon=$([ "$mode" = linux ] && echo 42x42 || echo 32x32)" centre FFFADC78"
[ "$(window_icon)" = "$icon" ] || fail "window icon: '$(window_icon)', expected '$icon'"

xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
sleep 1
# Start-up: the editor with the preview; Tab: the editor alone; Tab again:
# gameplay; a short press of W and the player coasts on to a stop; a turn
# left to face the next room; Tab from gameplay: back to the editor with
# the preview.
shot preview
for s in editor gameplay; do xdotool key Tab && sleep 0.5 && shot $s; done
xdotool keydown w && sleep 0.15 && xdotool keyup w && sleep 1
shot walked
xdotool keydown q && sleep 0.25 && xdotool keyup q && sleep 0.3
xdotool key Tab && sleep 0.5
shot back
# A double-click on empty map below the world (map point about (3.75, 6.7)),
# left of the preview and above the console, adds a selected vertex.
xdotool mousemove --window "$wid" 100 300 && sleep 0.3
shot before-click
xdotool click --repeat 2 --delay 80 1 && sleep 0.5
shot after-click

# Gameplay fills the window with a textured view (flat colours would give a
# handful) and walking changes it.
expect_at_least "$(colours gameplay 640x480+0+0)" 16 "colours in the gameplay view"
expect_at_least "$(changed gameplay walked 640x480+0+0)" 15000 "pixels changed by walking"
for s in preview editor back; do
  # Toolbar: a dark strip with a lighter bottom row and "SAVE" in white;
  # console: a dark panel, "world loaded" in its first line; a map between.
  expect_colour $s 300 5 111111 "toolbar in $s"
  expect_colour $s 300 15 222222 "toolbar edge in $s"
  expect_at_least "$(count $s 32x8+4+4 FFFFFF)" 20 "SAVE label pixels in $s"
  expect_colour $s 600 470 111111 "console in $s"
  expect_at_least "$(count $s 96x8+0+400 FFFFFF)" 40 "console text pixels in $s"
  expect_at_least "$(colours $s 300x370+0+20)" 3 "colours in the map of $s"
done
for s in preview back; do  # framed in light grey, a textured view inside
  expect_colour $s 307 27 EEEEEE "preview frame in $s"
  expect_colour $s 628 100 888888 "preview frame's dark side in $s"
  expect_at_least "$(colours $s 300x200+318+50)" 12 "colours in the preview of $s"
done
[ "$(pixel editor 307 27)" != EEEEEE ] || fail "the editor still shows the preview"
[ "$(pixel gameplay 300 5)" != 111111 ] || [ "$(pixel gameplay 300 15)" != 222222 ] ||
  fail "gameplay still shows the toolbar"
expect_at_least "$(changed before-click after-click 40x40+80+264)" 10 \
  "pixels changed around the double-click"

# Mouse look. In the editor the pointer is free and moving it turns
# nobody. In gameplay it is captured: 1600 px to the right turn the view
# right by about 1.56 radians (0.000977 a pixel), which the map's camera
# line shows once back in the editor; the pointer cannot leave the window.
# Escape frees it, and a free pointer turns nothing; a click takes it back;
# Tab out of gameplay frees it again.
xdotool key Tab && sleep 0.5
shot map-start
xdotool mousemove --window "$wid" 200 200 && xdotool mousemove_relative -- 300 0 && sleep 0.5
shot map-moved
[ "$(camera_line map-start)" = "$(camera_line map-moved)" ] ||
  fail "moving the mouse in the editor turned the player"
xdotool key Tab && sleep 0.5
shot look-start
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16; do
  xdotool mousemove_relative -- 100 0 && sleep 0.05
done
sleep 0.5
shot look-turned
expect_at_least "$(changed look-start look-turned 640x480+0+0)" 15000 \
  "pixels changed by turning with the mouse"
xdotool key Tab && sleep 0.3 && xdotool key Tab && sleep 0.5
shot map-turned
turn=$(turned map-start map-turned)
note "1600 px to the right turned the player by $turn radians"
awk -v t="$turn" 'BEGIN { exit !(t >= 1.2 && t <= 1.9) }' ||
  fail "1600 px to the right turned the player by $turn radians, not about 1.56"
xdotool key Tab && sleep 0.5
expect_pointer_inside "captured in gameplay"
xdotool key Escape && sleep 0.3
expect_pointer_free "after Escape"
xdotool mousemove --window "$wid" 320 240 && sleep 0.5
shot free-start
xdotool mousemove_relative -- 200 0 && sleep 0.5
shot free-moved
[ "$(changed free-start free-moved 640x480+0+0)" = 0 ] || fail "a free pointer turned the view"
xdotool click 1 && sleep 0.3
expect_pointer_inside "captured again by a click"
xdotool key Tab && sleep 0.3
expect_pointer_free "out of gameplay"
note "mouse look: the editor does not turn, gameplay does, Escape and Tab free the pointer"

close_and_wait 0
note "closed, exit code 0"
echo "PASS: $mode end-to-end"
