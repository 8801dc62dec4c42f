#!/bin/sh
# Runs a command with DISPLAY set to a private X server of its own.
#
#   with_display.sh OUTDIR COMMAND [ARG...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_init "$1"
shift
start_xvfb
# A wine server left from another display would keep its programs there.
[ -z "${WINEPREFIX:-}" ] || { wine_used=1 && stop_wineserver; }
code=0
"$@" || code=$?
exit $code
