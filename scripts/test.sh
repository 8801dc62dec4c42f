#!/bin/sh
# Builds and runs every test: Linux natively, Linux under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build under wine, and then the
# release packages, built and tried as a user would.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
. scripts/wine.sh
om_need_packages $OM_BUILD_PACKAGES $OM_WINDOWS_PACKAGES $OM_DESKTOP_PACKAGES $OM_RELEASE_PACKAGES

jobs=$(nproc)
step() { echo; echo "=== $* ($(date +%T))"; }

step "Linux build"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j "$jobs"
step "Linux tests"
ctest --test-dir build/linux -j "$jobs" --output-on-failure

step "Linux sanitizer build"
cmake -S . -B build/linux-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRIX_SANITIZE=ON >/dev/null
cmake --build build/linux-asan -j "$jobs"
step "Linux sanitizer tests"
ctest --test-dir build/linux-asan -j "$jobs" --output-on-failure

step "World-file reader fuzzing (brief)"
tests/fuzz/run.sh

step "Windows build"
cmake -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
  --toolchain cmake/mingw-w64.cmake >/dev/null
cmake --build build/windows -j "$jobs"
step "Windows tests (wine)"
(
  om_wine_env build/windows
  # Creating the prefix takes a while the first time; do it once, up front.
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
)
ctest --test-dir build/windows --output-on-failure

step "Release packages"
scripts/release.sh
step "Release packages tried (Xvfb, wine)"
# The Windows program runs in the prefix the Windows tests made.
sh tests/e2e/release.sh build/release build/release/e2e build/windows

step "All tests passed"
