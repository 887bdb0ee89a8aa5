#!/usr/bin/env bash
# Makes the packages in dist/ from the release build (preset linux, built
# here if needed), with stripped binaries and no debug information:
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
