# The wine environment of every Windows run, defined here once. Sourced by
# scripts/run.sh, scripts/test.sh and tests/e2e/lib.sh; CMake reads the
# settings too (cmake/wine.cmake) for the test emulator and the wine tests,
# so they stay plain NAME=value lines.
OM_WINEDEBUG=-all
OM_WINEARCH=win64
# The prefix is this directory inside the Windows build directory.
OM_WINEPREFIX_DIR=wineprefix

# om_wine_env BUILD_DIR: exports the environment for the Windows build in
# BUILD_DIR, which must exist.
om_wine_env() {
  WINEPREFIX="$(cd "$1" && pwd)/$OM_WINEPREFIX_DIR" || return 1
  export WINEDEBUG="$OM_WINEDEBUG" WINEARCH="$OM_WINEARCH" WINEPREFIX
}
