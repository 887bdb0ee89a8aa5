#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need, on
# Linux and for the Windows cross build. Idempotent: when every package is
# present and the Windows libraries are built, it changes nothing; otherwise
# it refreshes the package lists once, installs what is missing, and
# cross-builds the Windows libraries (scripts/windows-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential
  cmake
  dpkg-dev
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libmimalloc-dev
  libboost-dev
  libflatbuffers-dev
  flatbuffers-compiler
  libtinyxml-dev
  zlib1g-dev
  libpng-dev
  libzstd-dev
  libdeflate-dev
  # command-line comparison (bench/compare-cli.sh): whole processes timed by
  # hyperfine, against vipsthumbnail
  libvips-tools
  hyperfine
  # fuzz targets (scripts/fuzz.sh): clang with libFuzzer
  clang
  libclang-rt-14-dev
  # resampling comparison (bench/compare-resample.py) and the thumbnailer's
  # sandbox test (tests/desktop), which reads the PNGs with it
  python3-pil
  # an X display for the preview pane's tests under Wine
  xvfb
  # the desktop's thumbnailer sandbox and MIME types (tests/desktop)
  bubblewrap
  shared-mime-info
  xdg-utils
  libfile-mimeinfo-perl
  # XFCE's thumbnail service on a private D-Bus session (tests/desktop)
  tumbler
  dbus
  dbus-bin
  # the Debian package and the Windows installer (scripts/package.sh), the
  # package's test in a throwaway system (tests/packaging)
  lintian
  nsis
  debootstrap
  # Windows cross builds (x86-64 and 32-bit x86) and their test runner:
  # 64-bit Wine with its 32-bit half for the 32-bit build
  g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix
  gcc-mingw-w64-i686-posix
  binutils-mingw-w64-i686
  libz-mingw-w64-dev
  wine
  wine64
  wine32:i386
  # 32-bit x86 programs through user-mode emulation, where the kernel
  # refuses them (scripts/x86-namespace.sh)
  qemu-user-static
)

as_root=()
if [[ $(id -u) -ne 0 ]]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

# Source packages (for the Windows libraries) come from the same archives as
# the binary ones: a deb-src entry is derived from each enabled deb entry.
src_list=/etc/apt/sources.list.d/vfk-deb-src.sources
need_update=false
if [[ ! -f $src_list ]]; then
  derived=$(mktemp)
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    sed -e 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$file" >>"$derived"
    echo >>"$derived"
  done
  if [[ -f /etc/apt/sources.list ]]; then
    grep -E '^deb ' /etc/apt/sources.list |
      sed -e 's/^deb /deb-src /' >"$derived.list" || true
    [[ -s $derived.list ]] && "${as_root[@]}" cp "$derived.list" /etc/apt/sources.list.d/vfk-deb-src.list
  fi
  "${as_root[@]}" cp "$derived" "$src_list"
  "${as_root[@]}" chmod 644 "$src_list"
  rm -f "$derived" "$derived.list"
  need_update=true
fi

# 32-bit Wine comes from the archive's i386 packages.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
  need_update=true
fi

missing=()
for package in "${packages[@]}"; do
  [[ $package == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
((${#missing[@]} > 0)) && need_update=true

if $need_update; then
  "${as_root[@]}" apt-get update -q
fi
if ((${#missing[@]} > 0)); then
  echo "setup: installing ${missing[*]}"
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$root/scripts/windows-deps.sh" x86_64
"$root/scripts/windows-deps.sh" i686
