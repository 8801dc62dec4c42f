#!/bin/sh
# The sample world's own images in the real program: opened with its
# textures/ folder beside it, the corridor ahead of the start is walled with
# the mosaic (its yellow tiles are in the first-person view); opened without
# the folder, the same view has the fallback texture there instead and no
# yellow. Pictures and logs stay in OUTDIR.
#
#   images.sh linux|wine PROGRAM OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_program "$@"

# Pixels of the mosaic's yellow tiles (214, 170, 60, give or take their
# shading and the renderer's sampling) in a shot.
yellow() {
  convert "$out/$1.png" -crop 640x480+0+0 +repage -depth 8 txt:- |
    awk -F'[(),]' 'NR > 1 && $3 > 180 && $3 < 240 && $4 > 140 && $4 < 200 && $5 > 30 && $5 < 95 { n++ }
                   END { print n + 0 }'
}

start_xvfb
for run in images fallback; do
  rm -rf sample.world sample.world.* textures
  cp "$here/../../examples/sample.world" sample.world
  [ $run = images ] && cp -r "$here/../../examples/textures" .
  start_program "$mode" "$program" sample.world
  wait_window 90
  window_geometry
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  sleep 1
  # Gameplay: Tab twice from the editor with preview.
  xdotool key Tab && sleep 0.3 && xdotool key Tab && sleep 0.8
  shot $run
  close_and_wait 0
done

expect_at_least "$(yellow images)" 300 "pixels of the mosaic's yellow tiles in the view"
[ "$(yellow fallback)" -lt 30 ] || fail "yellow tiles without the images: $(yellow fallback)"
expect_at_least "$(changed images fallback 640x480+0+0)" 5000 "pixels the images change"
note "the mosaic is on the corridor's walls, and the fallback stands in without the file"
echo "PASS: $mode the sample world's images in the first-person view"
