#!/bin/sh
# Builds the program and starts it: the Linux build by default, or with
# "windows" the Windows build, cross-compiled and started under wine.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
. scripts/wine.sh
case "${1:-linux}" in
  linux)
    om_need_packages $OM_BUILD_PACKAGES
    cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/linux -j "$(nproc)" --target ombrix
    exec build/linux/ombrix
    ;;
  windows)
    om_need_packages $OM_BUILD_PACKAGES $OM_WINDOWS_PACKAGES
    cmake -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
      --toolchain cmake/mingw-w64.cmake >/dev/null
    cmake --build build/windows -j "$(nproc)" --target ombrix
    om_wine_env build/windows
    exec wine build/windows/ombrix.exe
    ;;
  *)
    echo "usage: $0 [linux|windows]" >&2
    exit 2
    ;;
esac
