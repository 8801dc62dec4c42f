# Sourced by the run and test scripts: makes sure the Debian packages named in
# "$@" are installed, installing the missing ones when running as root.
om_need_packages() {
  missing=""
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $p"
    fi
  done
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends $missing || {
      echo "apt-get failed" >&2
      exit 1
    }
  else
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get install -y$missing" >&2
    exit 1
  fi
}

OM_BUILD_PACKAGES="cmake make g++ pkg-config libgtest-dev googletest libbenchmark-dev libsdl2-dev libstb-dev clang"
OM_WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64"
OM_DESKTOP_PACKAGES="xvfb xauth xfonts-base xdotool x11-utils imagemagick"
# The packages (dpkg-shlibdeps, file) and the checks of them.
OM_RELEASE_PACKAGES="dpkg-dev file lintian man-db unzip"
