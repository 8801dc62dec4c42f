#!/bin/sh
# Runs a command with DISPLAY set to a private X server of its own.
#
#   with_display.sh OUTDIR COMMAND [ARG...]
set -eu
out=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$here/lib.sh"
start_xvfb
# A wine server left from another display would keep its programs there.
if [ -n "${WINEPREFIX:-}" ]; then
  wine_used=1
  stop_wineserver
fi
set +e
"$@"
code=$?
set -e
exit $code
