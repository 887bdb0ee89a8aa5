#!/usr/bin/env bash
# Makes the packages in dist/ from the release builds (presets linux,
# windows and windows-x86, built here if needed), with stripped binaries and
# no debug information:
#   dist/vfkthumb-<version>-setup.exe    the Windows installer (NSIS,
#       packaging/windows/vfkthumb.nsi): both DLLs, both vfkthumb.exe, the
#       sample documents. Where this machine cannot execute 32-bit programs,
#       the same installer is also made with NSIS's 64-bit stub into
#       build/packaging/ (not shipped), so that it can be tested under Wine.
#   dist/vfkthumb_<version>_<arch>.deb   /usr/bin/vfkthumb, the thumbnailer
#       entry, the MIME types (the system's shared-mime-info trigger
#       compiles them), the sample documents, the manual page, copyright
#       and changelog; dependencies from the binary's libraries
#       (dpkg-shlibdeps). Checked with lintian: an error fails the command.
# The version is the one in CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
arch=$(dpkg --print-architecture)
mkdir -p dist
rm -f dist/vfkthumb_*.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 022

# The files, as cmake --install lays them out under /usr.
stage=$work/vfkthumb
DESTDIR=$stage cmake --install build/linux --prefix /usr --strip >/dev/null
docs=$stage/usr/share/doc/vfkthumb
mkdir -p "$docs" "$stage/usr/share/man/man1"
cp packaging/debian/copyright "$docs/"
sed "s/@VERSION@/$version/g" packaging/debian/changelog.in | gzip -9n >"$docs/changelog.gz"
sed "s/@VERSION@/$version/g" packaging/debian/vfkthumb.1 |
  gzip -9n >"$stage/usr/share/man/man1/vfkthumb.1.gz"

# The libraries the binary needs, as Debian's packages provide them.
mkdir -p "$work/shlibs/debian"
printf 'Source: vfkthumb\n\nPackage: vfkthumb\nArchitecture: any\n' >"$work/shlibs/debian/control"
depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O -e"$stage/usr/bin/vfkthumb" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

mkdir -p "$stage/DEBIAN"
size=$(du -sk "$stage/usr" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
  -e "s/@DEPENDS@/$depends/" packaging/debian/control.in >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -exec md5sum {} + | sort -k 2 >DEBIAN/md5sums)
deb=dist/vfkthumb_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "package.sh: $root/$deb"
lintian --fail-on error "$deb"

# The Windows builds, installed as cmake lays them out, stripped.
if scripts/can-run-x86.sh 2>/dev/null; then run_x86=ON; else run_x86=OFF; fi
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" >/dev/null
cmake --preset windows-x86 -DVFK_RUN_BUILT_PROGRAMS=$run_x86 >/dev/null
cmake --build --preset windows-x86 -j "$(nproc)" >/dev/null
cmake --install build/windows --prefix "$work/files64" --strip >/dev/null
cmake --install build/windows-x86 --prefix "$work/files32" --strip >/dev/null
publisher=$(sed -n 's/^VFK_PUBLISHER:INTERNAL=//p' build/windows/CMakeCache.txt)
installer() {
  makensis -V2 -WX -NOCD -DVERSION="$version" -DPUBLISHER="$publisher" -DOUTFILE="$1" \
    -DFILES64="$work/files64" -DFILES32="$work/files32" -DSTUB="$2" packaging/windows/vfkthumb.nsi
}
rm -f dist/vfkthumb-*-setup.exe
installer "$root/dist/vfkthumb-$version-setup.exe" x86-unicode
echo "package.sh: $root/dist/vfkthumb-$version-setup.exe"
mkdir -p build/packaging
rm -f build/packaging/*.exe
if [[ $run_x86 == OFF ]]; then
  installer "$root/build/packaging/vfkthumb-$version-setup-amd64.exe" amd64-unicode
  echo "package.sh: 32-bit programs cannot run here; for tests:" \
    "$root/build/packaging/vfkthumb-$version-setup-amd64.exe"
fi
