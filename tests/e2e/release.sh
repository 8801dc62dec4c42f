#!/bin/sh
# Tries the release packages the way a user would, without installing them
# into the system: checks the sums, what each package holds and what lintian
# says of the Debian one; unpacks that into a scratch root and the zip into
# a folder; asks each program for --version, --help and an unknown option;
# and starts each from a folder of its own, where Ctrl+S saves the default
# world, then on a copy of the packaged sample world named after "--".
#
#   release.sh PACKAGE-DIR OUTDIR [WINDOWS-BUILD-DIR]
#
# The Windows program runs in the wine prefix of WINDOWS-BUILD-DIR (one is
# made in OUTDIR without it).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
packages=$(absolute "$1")
e2e_init "$2"
prefix_build=$(absolute "${3:-$out}")
version=$(sed -n 's/^project(ombrix VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
deb=ombrix_${version}_amd64.deb
zip=ombrix-$version-windows-x86_64
sample=/usr/share/ombrix/examples/sample.world
# The unpacked program has no build folder of its own for the prefix.
wine_env() { wine_used=1 && om_wine_env "$prefix_build"; }

(cd "$packages" && sha256sum -c SHA256SUMS) || fail "the packages do not match SHA256SUMS"

# ---- What the packages hold ---------------------------------------------
holds() {  # LISTING PATH...: each PATH is a line of LISTING
  for p in $(shift && echo "$@"); do grep -qxF "$p" "$out/$1" || fail "$1 lacks $p"; done
}
dpkg-deb -c "$packages/$deb" | sed 's/^.* \.\//\//' >"$out/deb.list"
holds deb.list /usr/bin/ombrix $sample /usr/share/ombrix/examples/textures/mosaic.png \
  /usr/share/ombrix/examples/textures/sand.jpg /usr/share/applications/ombrix.desktop \
  /usr/share/icons/hicolor/48x48/apps/ombrix.png /usr/share/man/man6/ombrix.6.gz \
  /usr/share/doc/ombrix/README.md /usr/share/doc/ombrix/world-format.md \
  /usr/share/doc/ombrix/copyright /usr/share/doc/ombrix/changelog.gz
dpkg-deb -f "$packages/$deb" Depends | grep -q "libsdl2-2.0-0 (>=" ||
  fail "the package's dependencies were not computed from the program"
unzip -Z1 "$packages/$zip.zip" >"$out/zip.list"
holds zip.list $zip/ombrix.exe $zip/examples/sample.world $zip/examples/textures/mosaic.png \
  $zip/examples/textures/sand.jpg $zip/README.md $zip/docs/world-format.md
lintian --fail-on error "$packages/$deb" >"$out/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$out/lintian.log")"
note "lintian: $(grep -v "root privileges" "$out/lintian.log" || echo nothing to report)"

rm -rf "$out/root" "$out/zip"
dpkg -x "$packages/$deb" "$out/root"
unzip -q "$packages/$zip.zip" -d "$out/zip"
linux=$out/root/usr/bin/ombrix
windows=$out/zip/$zip/ombrix.exe

# The manual page renders cleanly and, like the README, names the sample.
MANWIDTH=80 man --warnings -l "$out/root/usr/share/man/man6/ombrix.6.gz" \
  >"$out/ombrix.6.txt" 2>"$out/man.log" && [ ! -s "$out/man.log" ] ||
  fail "man: $(cat "$out/man.log")"
for doc in "$out/ombrix.6.txt" "$out/root/usr/share/doc/ombrix/README.md"; do
  grep -q "$sample" "$doc" || fail "$(basename "$doc") does not say where the sample world is"
done
x86_64-w64-mingw32-windres -i "$windows" -O rc | grep -q "VALUE \"FileVersion\", \"$version\"" ||
  fail "ombrix.exe carries no version resource $version"

# ---- The command line ---------------------------------------------------
ask() {  # MODE PROGRAM ARG: $said (standard output), $told (error), $code
  code=0
  if [ "$1" = wine ]; then
    wine_env
    wine "$2" "$3" >"$out/said" 2>"$out/told" || code=$?
  else
    "$2" "$3" >"$out/said" 2>"$out/told" || code=$?
  fi
  said=$(cat "$out/said") told=$(cat "$out/told")
}
answers() {  # MODE PROGRAM SAMPLE: SAMPLE as --help names it
  ask "$1" "$2" --version
  [ "$code" = 0 ] && [ "$said" = "ombrix $version" ] || fail "$1 --version: $code '$said'"
  ask "$1" "$2" --help
  [ "$code" = 0 ] && [ "$(echo "$said" | head -n 1)" = "Usage: ombrix [WORLD-FILE]" ] &&
    echo "$said" | grep -qF "The sample world: $3" || fail "$1 --help: $code '$said'"
  ask "$1" "$2" --fullscreen
  [ "$code" = 2 ] && [ -z "$said" ] &&
    [ "$told" = "ombrix: unknown option '--fullscreen' (see ombrix --help)" ] ||
    fail "$1 --fullscreen: $code '$said' '$told'"
  note "$1: --version, --help and an unknown option answered"
}
answers linux "$linux" $sample
answers wine "$windows" 'examples\sample.world beside ombrix.exe'

# ---- Short runs ---------------------------------------------------------
start_xvfb
open_window() {  # MODE PROGRAM SHOT [ARG...]: started, the window shown and focused
  mode_=$1 program_=$2 shot_=$3
  shift 3
  start_program "$mode_" "$program_" "$@"
  wait_window 90
  window_geometry
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  sleep 1
  shot "$shot_"
  expect_at_least "$(colours "$shot_" 640x480+0+0)" 16 "colours in $shot_"
}
# The menu's icon is the window's ($wid): its 42 x 42 middle pixel for
# pixel, in a transparent margin.
same_icon() {
  icon=$out/root/usr/share/icons/hicolor/48x48/apps/ombrix.png
  [ "$(identify -format %wx%h "$icon")" = 48x48 ] || fail "the menu icon is not 48 x 48"
  [ "$(convert "$icon" -format '%[fx:p{0,0}.a]' info:)" = 0 ] || fail "the menu icon has no margin"
  xprop -id "$wid" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON | cut -d= -f2 | tr ',' '\n' |
    tail -n +3 | awk '{ printf "%08X\n", $1 }' >"$out/window-icon.txt"
  convert "$icon" -crop 42x42+3+3 txt:- |
    awk 'NR > 1 { h = substr($3, 2); print substr(h, 7, 2) substr(h, 1, 6) }' >"$out/menu-icon.txt"
  cmp -s "$out/window-icon.txt" "$out/menu-icon.txt" || fail "the menu icon is not the window's"
  note "the menu icon is the window's"
}
short_runs() {  # MODE PROGRAM SAMPLE-FILE
  mkdir -p "$out/$1-folder"
  cd "$out/$1-folder"
  rm -rf WORLD_DUMP* ./-sample.world* textures
  open_window "$1" "$2" "$1-builtin"
  [ "$1" = wine ] || same_icon
  xdotool key ctrl+s && sleep 1
  [ -s WORLD_DUMP ] || fail "$1: Ctrl+S left no WORLD_DUMP in the folder the program started in"
  close_and_wait 0
  cp "$3" ./-sample.world
  cp -r "$(dirname "$3")/textures" .  # its images, as the copy's paths name them
  open_window "$1" "$2" "$1-sample" -- -sample.world
  expect_at_least "$(changed "$1-builtin" "$1-sample" 640x384+0+16)" 2000 \
    "map pixels that differ between the built-in and the sample world"
  close_and_wait 0
  note "$1: started from a folder of its own, saved there, opened the sample world"
}
short_runs linux "$linux" "$out/root$sample"

short_runs wine "$windows" "$out/zip/$zip/examples/sample.world"
echo "PASS: release packages"
