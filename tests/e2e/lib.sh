# Shared by the end-to-end scripts, sourced once `here` is set: a private X
# server, the program under test, screenshots and the checks a person would
# make looking at them.

. "$here/../../scripts/wine.sh"

E2E_SCREEN_W=1280
E2E_SCREEN_H=1024
xvfb_pid="" app_pid="" wine_used=""

# A failure shows what the program printed, which is most of the diagnosis.
fail() {
  echo "FAIL: $*" >&2
  if [ -s "${out:-}/program.log" ]; then
    echo "--- the program printed:" >&2
    tail -n 20 "$out/program.log" >&2
  fi
  exit 1
}
note() { echo "--- $*"; }

# e2e_init OUTDIR: the directory for logs and pictures, made absolute. A
# sanitizer build reports our leaks, not those of the libraries below.
e2e_init() {
  mkdir -p "$1"
  out=$(cd "$1" && pwd)
  export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
}
# Runs the rest in OUTDIR, where the program's default file and the autosave
# it writes when closed with edits land (never in the build folder), with
# none left by an earlier run to greet this one. Paths given as arguments
# must be made absolute first.
work_in_out() {
  cd "$out"
  rm -f WORLD_DUMP WORLD_DUMP.*
}
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
# e2e_program linux|wine PROGRAM OUTDIR: the arguments of a script that runs
# the program, as $mode and $program, then e2e_init and work_in_out.
e2e_program() {
  mode=$1
  program=$(absolute "$2")
  e2e_init "$3"
  work_in_out
}

# The server is waited for: one still shutting down removes its lock and
# socket files while the next test's server, on the same display number, is
# starting, and that test's program then finds no display.
e2e_cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
  stop_wineserver
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; } || true
}

# Xvfb on a display it picks itself; exports DISPLAY. Two servers starting
# at the same moment can both go for the same free number, and the loser may
# still report it: the server is only taken once it answers, and it is
# started again when it does not.
start_xvfb() {
  trap e2e_cleanup EXIT INT TERM
  for attempt in 1 2 3 4 5; do
    try_xvfb && return 0
    note "Xvfb attempt $attempt failed: $(tail -n 1 "$out/xvfb.log" 2>/dev/null)"
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
    sleep 0.$attempt
  done
  fail "Xvfb did not start (see $out/xvfb.log)"
}
# -noreset: by default the server resets whenever its last client leaves,
# and each xwininfo below is such a client. A program connecting during a
# reset finds no display (about one start in ten while a client polls).
try_xvfb() {
  rm -f "$out/display"
  Xvfb -displayfd 3 -screen 0 ${E2E_SCREEN_W}x${E2E_SCREEN_H}x24 -nolisten tcp -noreset \
    3>"$out/display" >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  i=0
  until [ -s "$out/display" ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    i=$((i + 1)) && [ $i -le 100 ] || return 1
    sleep 0.1
  done
  export DISPLAY=":$(cat "$out/display")"
  i=0
  until xwininfo -root >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null; do
    i=$((i + 1)) && [ $i -le 50 ] || return 1
    sleep 0.1
  done
}

# The id of a mapped top-level window titled $1. (xdotool cannot read a
# title stored as UTF8_STRING, as SDL's message box stores it.)
find_window() {
  xwininfo -root -children 2>/dev/null | grep -F "\"$1\": (" | awk '{ print $1 }' |
    while read -r w; do
      xwininfo -id "$w" 2>/dev/null | grep -q "Map State: IsViewable" && echo "$w" && break
    done || true
}

# What the screen and the program were doing when no window came, for a
# failure that does not repeat.
window_missing() {
  echo "--- windows on the screen:" >&2
  xwininfo -root -children >&2 2>&1 || true
  echo "--- the program's state and wait channel: $(ps -o stat=,wchan= -p "$app_pid" 2>&1)" >&2
  fail "no $2 window after $1 s"
}

# wait_window SECONDS [TITLE]: sets $wid once the window (default OM_WND)
# is mapped; fails if the program exits first or shows its error box instead.
wait_window() {
  title=${2:-OM_WND} i=0
  until wid=$(find_window "$title") && [ -n "$wid" ]; do
    kill -0 "$app_pid" 2>/dev/null || fail "the program exited before showing its window"
    [ "$title" = "An error occurred" ] || [ -z "$(find_window "An error occurred")" ] ||
      fail "the program showed its error box instead of the $title window"
    i=$((i + 1)) && [ $i -le $(($1 * 10)) ] || window_missing "$1" "$title"
    sleep 0.1
  done
}

# wine_env PROGRAM: the wine environment (scripts/wine.sh) of the Windows
# build holding the program. Wine's server outlives its programs for a few
# seconds and a new program joins it, with its display: each run starts and
# ends with none running.
wine_env() {
  wine_used=1
  om_wine_env "$(dirname "$1")"
}
stop_wineserver() {
  [ -z "$wine_used" ] && return
  wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}

# start_program linux|wine PROGRAM [ARG...]: in the background, as $app_pid.
start_program() {
  mode_=$1 program_=$2
  shift 2
  case $mode_ in
    linux) "$program_" "$@" >"$out/program.log" 2>&1 & ;;
    wine)
      wine_env "$program_"
      stop_wineserver
      wine "$program_" "$@" >"$out/program.log" 2>&1 & ;;
    *) fail "unknown mode $mode_" ;;
  esac
  app_pid=$!
}

# close_and_wait CODE: asks window $wid to close, as its close button
# would, and checks the program's exit code. This xdotool has no
# windowclose and no window manager runs: a small helper sends the request.
close_and_wait() {
  [ -x "$out/x11_close" ] && [ ! "$here/x11_close.cpp" -nt "$out/x11_close" ] ||
    c++ -O1 -o "$out/x11_close" "$here/x11_close.cpp" -lX11 || fail "cannot build x11_close"
  "$out/x11_close" "$wid" || fail "cannot send the close request"
  i=0
  while kill -0 "$app_pid" 2>/dev/null; do
    i=$((i + 1)) && [ $i -le 300 ] || fail "still running 30 s after the close request"
    sleep 0.1
  done
  code=0
  wait "$app_pid" || code=$?
  app_pid=""
  [ "$code" = "$1" ] || fail "exit code $code after closing the window, not $1"
}

# Sets win_x, win_y, win_w, win_h from the window's place on the screen.
window_geometry() {
  info=$(xwininfo -id "$wid") || fail "window $wid is gone"
  field() { echo "$info" | sed -n "s/.*$1: *//p"; }
  win_x=$(field "Absolute upper-left X") win_y=$(field "Absolute upper-left Y")
  win_w=$(field Width) win_h=$(field Height)
}

# The window's (first) icon as "WxH centre AARRGGBB".
window_icon() {
  xprop -id "$wid" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON | tr -d ' ' |
    cut -d= -f2 | tr ',' '\n' |
    awk 'NR == 1 { w = $1 } NR == 2 { h = $1 }
         NR > 2 && NR - 3 == int(h / 2) * w + int(w / 2) { printf "%dx%d centre %08X\n", w, h, $1 }'
}

# shot NAME: the window's part of the screen as NAME.png, window pixel
# (0, 0) at the top left.
shot() {
  import -window root "$out/$1-screen.png" || fail "screenshot $1"
  convert "$out/$1-screen.png" -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$out/$1.png"
}
pixel() { convert "$out/$1.png" -format "%[hex:p{$2,$3}]" info: | cut -c1-6; }  # NAME X Y
colours() { convert "$out/$1.png" -crop "$2" +repage -format %k info:; }  # NAME WxH+X+Y
count() {  # NAME WxH+X+Y RRGGBB: pixels of that colour
  convert "$out/$1.png" -crop "$2" +repage -format %c histogram:info:- |
    awk -v c="#$3" 'toupper($0) ~ toupper(c) { n += $1 } END { print n + 0 }'
}
changed() {  # A B WxH+X+Y: pixels that differ between two shots
  compare -metric AE "$out/$1.png[$3]" "$out/$2.png[$3]" null: 2>&1 | sed 's/[^0-9].*//' || true
}
expect_colour() {  # NAME X Y RRGGBB WHAT
  got=$(pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || fail "$5: pixel ($2, $3) of $1 is #$got, not #$4"
}
expect_at_least() { [ "$1" -ge "$2" ] || fail "$3: $1, expected at least $2"; }  # VALUE MIN WHAT

# The pixels of the map's camera line (0xFF00FF66, drawn from the player's
# position along the heading) in shot NAME, one "x y" a line.
camera_line() {
  convert "$out/$1.png" txt:- | awk -F'[,: ]+' 'toupper($0) ~ /#00FF66/ { print $1, $2 }' | sort
}
# turned A B: the player's turn from shot A to shot B in radians, read from
# the camera line, positive to the right (clockwise on the map). The two
# lines share their first pixels, at the player's position, which must not
# have moved.
turned() {
  camera_line "$1" >"$out/$1.line"
  camera_line "$2" >"$out/$2.line"
  [ -s "$out/$1.line" ] && [ -s "$out/$2.line" ] || fail "no camera line in $1 or $2"
  awk 'FNR == 1 { f++ } f == 1 { a[$0] = 1; ax += $1; ay += $2; an++ }
       f == 2 { bx += $1; by += $2; bn++; if ($0 in a) { px += $1; py += $2; pn++ } }
       END {
         if (!pn) { print "nan"; exit }
         px /= pn; py /= pn
         ux = ax / an - px; uy = ay / an - py; vx = bx / bn - px; vy = by / bn - py
         printf "%.3f\n", atan2(ux * vy - uy * vx, ux * vx + uy * vy)
       }' "$out/$1.line" "$out/$2.line"
}
# The pointer's place on the screen as "X Y".
pointer() { xdotool getmouselocation | sed 's/x:\([0-9-]*\) y:\([0-9-]*\).*/\1 \2/'; }
# expect_pointer_inside WHAT / expect_pointer_at X Y WHAT, after asking it
# to go to the screen's corner.
to_corner() { xdotool mousemove 0 0 && sleep 0.4; }
expect_pointer_inside() {
  to_corner
  set -- $(pointer) "$1"
  [ "$1" -ge "$win_x" ] && [ "$1" -lt $((win_x + win_w)) ] && [ "$2" -ge "$win_y" ] &&
    [ "$2" -lt $((win_y + win_h)) ] || fail "$3: the pointer got out to ($1, $2)"
}
expect_pointer_free() {
  to_corner
  [ "$(pointer)" = "0 0" ] || fail "$1: the pointer is held at ($(pointer))"
}
