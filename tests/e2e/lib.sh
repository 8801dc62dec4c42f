# Shared by the end-to-end scripts: a private X server, the program under
# test, screenshots and the checks a person would make looking at them.
# Sourced; expects $out (a directory for logs and pictures) to be set.

E2E_SCREEN_W=1280
E2E_SCREEN_H=1024
xvfb_pid=""
app_pid=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
note() { echo "--- $*"; }

e2e_cleanup() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
  stop_wineserver
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}

# Starts Xvfb on a display it picks itself (so parallel runs never clash)
# and exports DISPLAY.
start_xvfb() {
  rm -f "$out/display"
  Xvfb -displayfd 3 -screen 0 ${E2E_SCREEN_W}x${E2E_SCREEN_H}x24 -nolisten tcp \
    3>"$out/display" >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  trap e2e_cleanup EXIT INT TERM
  i=0
  while [ ! -s "$out/display" ]; do
    i=$((i + 1))
    [ $i -le 100 ] || fail "Xvfb did not start (see $out/xvfb.log)"
    sleep 0.1
  done
  DISPLAY=":$(cat "$out/display")"
  export DISPLAY
}

# Builds the close helper: this xdotool has no windowclose and there is no
# window manager to press the close button.
build_close_helper() {
  close_tool="$out/x11_close"
  if [ ! -x "$close_tool" ] || [ "$here/x11_close.cpp" -nt "$close_tool" ]; then
    c++ -O1 -o "$close_tool" "$here/x11_close.cpp" -lX11 || fail "cannot build x11_close"
  fi
}

# find_window TITLE: the id of a mapped top-level window with that title.
# (xdotool cannot read a title stored as UTF8_STRING, as SDL's message box
# stores it; xwininfo can.)
find_window() {
  xwininfo -root -children 2>/dev/null | grep -F "\"$1\": (" | awk '{ print $1 }' |
    while read -r w; do
      xwininfo -id "$w" 2>/dev/null | grep -q "Map State: IsViewable" && echo "$w" && break
    done || true  # not found (or not mapped) yet is no error
}

# wait_window SECONDS [TITLE]: sets $wid once a window with that title
# (default OM_WND) is mapped; fails if the program exits first.
wait_window() {
  i=0
  while :; do
    wid=$(find_window "${2:-OM_WND}")
    [ -n "$wid" ] && return 0
    kill -0 "$app_pid" 2>/dev/null || fail "the program exited before showing its window"
    i=$((i + 1))
    [ $i -le $(($1 * 10)) ] || fail "no ${2:-OM_WND} window after $1 s"
    sleep 0.1
  done
}

# Wine's server outlives its programs for a few seconds, and a new program
# joins it, with the display it was started on. Each run starts and ends
# with none running in the prefix.
wine_used=""
wine_env() {
  wine_used=1
  export WINEDEBUG=-all WINEARCH=win64
  export WINEPREFIX="${WINEPREFIX:-$(dirname "$1")/wineprefix}"
}
stop_wineserver() {
  if [ -n "$wine_used" ]; then
    wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
}

# start_program MODE PROGRAM: starts it in the background as $app_pid.
start_program() {
  case $1 in
    linux) "$2" >"$out/program.log" 2>&1 &
      app_pid=$! ;;
    wine)
      wine_env "$2"
      stop_wineserver
      wine "$2" >"$out/program.log" 2>&1 &
      app_pid=$! ;;
    *) fail "unknown mode $1" ;;
  esac
}

# close_and_wait EXPECTED_CODE: asks the window $wid to close, as its close
# button would, and checks the program's exit code.
close_and_wait() {
  "$close_tool" "$wid" || fail "cannot send the close request"
  i=0
  while kill -0 "$app_pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 300 ] || fail "the program is still running 30 s after the close request"
    sleep 0.1
  done
  set +e
  wait "$app_pid"
  code=$?
  set -e
  app_pid=""
  [ "$code" = "$1" ] || fail "exit code $code after closing the window, not $1"
}

# Sets win_x, win_y, win_w, win_h from the window's geometry on the screen.
window_geometry() {
  info=$(xwininfo -id "$wid") || fail "window $wid is gone"
  win_x=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')
  win_y=$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
  win_w=$(echo "$info" | sed -n 's/.*Width: *//p')
  win_h=$(echo "$info" | sed -n 's/.*Height: *//p')
}

# The window's (first) icon as "WxH centre AARRGGBB".
window_icon() {
  xprop -id "$wid" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON | tr -d ' ' |
    cut -d= -f2 | tr ',' '\n' |
    awk 'NR == 1 { w = $1 } NR == 2 { h = $1 }
         NR > 2 && NR - 3 == int(h / 2) * w + int(w / 2) { printf "%dx%d centre %08X\n", w, h, $1 }'
}

# shot NAME: the whole screen as a person sees it, and the window's part of
# it as NAME.png (window pixel (0, 0) at the top left).
shot() {
  import -window root "$out/$1-screen.png" || fail "screenshot $1"
  convert "$out/$1-screen.png" -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$out/$1.png"
}

# pixel NAME X Y: the colour as RRGGBB.
pixel() {
  convert "$out/$1.png" -format "%[hex:p{$2,$3}]" info: | cut -c1-6
}

# colours NAME WxH+X+Y: how many different colours the area holds.
colours() {
  convert "$out/$1.png" -crop "$2" +repage -format %k info:
}

# count NAME WxH+X+Y RRGGBB: how many pixels of that colour the area holds.
count() {
  convert "$out/$1.png" -crop "$2" +repage -format %c histogram:info:- |
    awk -v c="#$3" 'toupper($0) ~ toupper(c) { n += $1 } END { print n + 0 }'
}

# changed A B [WxH+X+Y]: how many pixels differ between two shots.
changed() {
  if [ -n "${3:-}" ]; then
    convert "$out/$1.png" -crop "$3" +repage "$out/.a.png"
    convert "$out/$2.png" -crop "$3" +repage "$out/.b.png"
  else
    cp "$out/$1.png" "$out/.a.png"
    cp "$out/$2.png" "$out/.b.png"
  fi
  compare -metric AE "$out/.a.png" "$out/.b.png" null: 2>&1 | sed 's/[^0-9].*//' || true
}

expect_colour() {  # NAME X Y RRGGBB WHAT
  got=$(pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || fail "$5: pixel ($2, $3) of $1 is #$got, not #$4"
}
expect_at_least() {  # VALUE MIN WHAT
  [ "$1" -ge "$2" ] || fail "$3: $1, expected at least $2"
}
