#!/bin/sh
# Builds the Linux program and starts it.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
om_need_packages $OM_BUILD_PACKAGES
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j "$(nproc)" --target ombrix
exec build/linux/ombrix
