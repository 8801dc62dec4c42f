#!/bin/sh
# Drives the real program in a real window on a private X server, the way a
# person would: waits for the window, looks at the editor, goes to gameplay,
# walks, comes back, double-clicks in the map, and closes the window.
#
#   run.sh linux|wine PROGRAM OUTDIR
#
# Pictures and logs stay in OUTDIR.
set -eu
mode=$1
program=$2
out=$3
case $program in /*) ;; *) program="$PWD/$program" ;; esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$here/lib.sh"

# For a sanitizer build: report our leaks, not those of the libraries below.
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
# No display at all: the window cannot be made, which is a failed start.
[ "$mode" = wine ] && wine_env "$program" && stop_wineserver
set +e
(
  unset DISPLAY WAYLAND_DISPLAY
  case $mode in
    linux) timeout 60 "$program" ;;
    *) timeout 60 wine "$program" ;;
  esac
) >"$out/no-display.log" 2>&1
code=$?
set -e
stop_wineserver
[ "$code" = 1 ] || fail "exit code $code without a display, not 1"
note "without a display: exit code 1"

start_xvfb
build_close_helper
note "display $DISPLAY, $mode, $program"

start_program "$mode" "$program"

# Wine needs a while the first time it starts in a prefix.
wait_window 90
window_geometry
note "window $wid: ${win_w}x${win_h} at ($win_x, $win_y)"
[ "$win_w" = 640 ] && [ "$win_h" = 480 ] || fail "client area is ${win_w}x${win_h}, not 640x480"
# Centred on the screen. Windows centres the outer frame: with no window
# manager here, wine shows only the client area, which sits lower by about
# half the caption's height.
[ "$win_x" = $(((E2E_SCREEN_W - 640) / 2)) ] || fail "window not centred across: x = $win_x"
dy=$((win_y - (E2E_SCREEN_H - 480) / 2))
case $mode in
  linux) [ "$dy" = 0 ] || fail "window not centred down: y = $win_y" ;;
  wine) [ "$dy" -ge 0 ] && [ "$dy" -le 20 ] || fail "window not centred down: y = $win_y" ;;
esac
# Fixed size: the size hints pin the minimum and the maximum to 640x480.
hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
echo "$hints" | grep -q "minimum size: 640 by 480" && echo "$hints" | grep -q "maximum size: 640 by 480" ||
  fail "the window can be resized: $hints"
# The program's icon reaches the window: the 42x42 picture of nested squares
# with a light yellow centre. Windows loads it at the system's icon size.
case $mode in
  linux) icon_expected="42x42 centre FFFADC78" ;;
  wine) icon_expected="32x32 centre FFFADC78" ;;
esac
icon=$(window_icon)
[ "$icon" = "$icon_expected" ] || fail "window icon: '$icon', expected '$icon_expected'"

xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
sleep 1

# Start-up state: the editor with the preview.
shot preview
# Tab: the editor alone. Tab again: gameplay.
xdotool key Tab
sleep 0.5
shot editor
xdotool key Tab
sleep 0.5
shot gameplay
# Walk forward: a short press, and the player coasts on to a stop.
xdotool keydown w
sleep 0.15
xdotool keyup w
sleep 1
shot walked
# Turn left for a look at the next room (a view for the person reading the
# pictures; nothing is checked on it).
xdotool keydown q
sleep 0.25
xdotool keyup q
sleep 0.3
shot turned
# Tab from gameplay: back to the editor with the preview.
xdotool key Tab
sleep 0.5
shot back
# Double-click on empty map below the world (map point about (3.75, 6.7)),
# left of the preview and above the console: it adds a selected vertex.
xdotool mousemove --window "$wid" 100 300
sleep 0.3
shot before-click
xdotool click --repeat 2 --delay 80 1
sleep 0.5
shot after-click

# Gameplay fills the window with a textured view, and walking changes it.
# Flat colours would give a handful; a texture gives dozens.
expect_at_least "$(colours gameplay 640x480+0+0)" 16 "colours in the gameplay view"
expect_at_least "$(changed gameplay walked)" 15000 "pixels changed by walking"

for s in preview editor back; do
  # Toolbar: a dark strip with a lighter bottom row and "SAVE" in white.
  expect_colour $s 300 5 111111 "toolbar in $s"
  expect_colour $s 300 15 222222 "toolbar edge in $s"
  expect_at_least "$(count $s 32x8+4+4 FFFFFF)" 20 "SAVE label pixels in $s"
  # Console: dark panel across the bottom, "world loaded" in its first line.
  expect_colour $s 600 470 111111 "console in $s"
  expect_at_least "$(count $s 96x8+0+400 FFFFFF)" 40 "console text pixels in $s"
  # The map between them is drawn: more than a background.
  expect_at_least "$(colours $s 300x370+0+20)" 3 "colours in the map of $s"
done
# The preview: framed in light grey, a textured view inside.
for s in preview back; do
  expect_colour $s 307 27 EEEEEE "preview frame in $s"
  expect_colour $s 628 100 888888 "preview frame's dark side in $s"
  expect_at_least "$(colours $s 300x200+318+50)" 12 "colours in the preview of $s"
done
# The editor alone shows no preview frame, gameplay no toolbar.
[ "$(pixel editor 307 27)" != EEEEEE ] || fail "the editor still shows the preview"
[ "$(pixel gameplay 300 5)" != 111111 ] || [ "$(pixel gameplay 300 15)" != 222222 ] ||
  fail "gameplay still shows the toolbar"
# The double-click adds (or splits to) a selected vertex under the pointer.
expect_at_least "$(changed before-click after-click 40x40+80+264)" 10 \
  "pixels changed around the double-click"

note "closing the window"
close_and_wait 0
note "closed, exit code 0"
echo "PASS: $mode end-to-end"
