#!/bin/sh
# Builds the program and starts it: the Linux build by default, or with
# "windows" the Windows build, cross-compiled and started under wine. The
# other arguments go to the program: a world file to open.
#
#   run.sh [linux|windows] [WORLD-FILE]
#
# The program runs in the folder run.sh is started from, so a relative file
# name, and WORLD_DUMP when none is given, are found there.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/wine.sh"
mode=linux
case "${1:-}" in
  linux | windows)
    mode=$1
    shift
    ;;
esac
case $mode in
  linux)
    om_need_packages $OM_BUILD_PACKAGES
    cmake -S "$root" -B "$root/build/linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build/linux" -j "$(nproc)" --target ombrix
    exec "$root/build/linux/ombrix" "$@"
    ;;
  windows)
    om_need_packages $OM_BUILD_PACKAGES $OM_WINDOWS_PACKAGES
    cmake -S "$root" -B "$root/build/windows" -DCMAKE_BUILD_TYPE=Release \
      --toolchain "$root/cmake/mingw-w64.cmake" >/dev/null
    cmake --build "$root/build/windows" -j "$(nproc)" --target ombrix
    om_wine_env "$root/build/windows"
    exec wine "$root/build/windows/ombrix.exe" "$@"
    ;;
esac
