#!/bin/sh
# Builds the release packages, in Release, into build/release/:
#   ombrix-VERSION-windows-x86_64.zip  the Windows program, cross-compiled
#   ombrix_VERSION_amd64.deb           the Debian package
#   SHA256SUMS                         their checksums
# Only the program and what goes with it are built, never the tests. The
# packages' dates are the last commit's, so the same tree gives the same
# manual page and changelog.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
om_need_packages $OM_BUILD_PACKAGES $OM_WINDOWS_PACKAGES $OM_RELEASE_PACKAGES

version=$(sed -n 's/^project(ombrix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
out=build/release
jobs=$(nproc)

# package DIR GENERATOR FILE TARGETS [CMAKE-ARGUMENTS]: one build, one package.
# The install step normally builds everything first; here only TARGETS.
package() {
  dir=$out/$1 generator=$2 file=$3 targets=$4
  shift 4
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target $targets
  rm -f "$dir/$file"
  (cd "$dir" && cpack -G "$generator" >cpack.log) || { cat "$dir/cpack.log" >&2; exit 1; }
  cp "$dir/$file" "$out/$file"
}

mkdir -p $out
rm -f $out/*.deb $out/*.zip $out/SHA256SUMS
# The Debian package's program is hardened as Debian's own are.
package linux DEB "ombrix_${version}_amd64.deb" "ombrix om_package_files" -DCMAKE_INSTALL_PREFIX=/usr \
  "-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
package windows ZIP "ombrix-$version-windows-x86_64.zip" ombrix --toolchain cmake/mingw-w64.cmake
(cd $out && sha256sum "ombrix_${version}_amd64.deb" "ombrix-$version-windows-x86_64.zip" >SHA256SUMS)
echo "Built in $out:"
(cd $out && ls -l ./*.deb ./*.zip SHA256SUMS)
