#!/usr/bin/env bash
# Cross-builds the third-party libraries of a Windows build into its prefix
# (x86_64: build/windows-deps/prefix; i686: build/windows-x86-deps/prefix),
# from Debian's own sources so that Debian's security fixes are in: TinyXML, Zstandard, libdeflate and libpng (source
# packages, libpng against the mingw zlib of libz-mingw-w64-dev), Google
# Benchmark (source package) and GoogleTest (/usr/src/googletest). Boost and
# FlatBuffers are header-only here: their directories under /usr/include are
# linked into the prefix, so the cross compiler never sees /usr/include as a
# whole. A library already built (its stamp names the version) is reused;
# remove the deps folder to rebuild.
# Usage: windows-deps.sh x86_64|i686
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
  x86_64)
    deps=$root/build/windows-deps
    toolchain=$root/cmake/mingw-w64.cmake
    ;;
  i686)
    deps=$root/build/windows-x86-deps
    toolchain=$root/cmake/mingw-w64-i686.cmake
    ;;
  *)
    echo "usage: $0 x86_64|i686" >&2
    exit 2
    ;;
esac
arch=$1
mingw=$arch-w64-mingw32
prefix=$deps/prefix
jobs=$(nproc)
sources=$root/build/windows-sources  # shared by both architectures
mkdir -p "$sources" "$prefix/include" "$prefix/lib"

# A stamp names the source version a library was built from.
built() { [[ -f $deps/$1.stamp ]]; }
stamp() { echo "$2" >"$deps/$1.stamp"; }

# Versions of a source package that the archive lists, newest first.
source_versions() {
  apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -Vru
}

# Unpacks the newest version of a Debian source package that the archive
# can deliver (patches applied) into $sources/<package>-<version>, unless
# already there, and sets `version` and `src`. A listed version can be
# missing from the mirror (404): the next one is tried.
fetch_source() {
  local package=$1 candidate
  for candidate in $(source_versions "$package"); do
    src=$sources/$package-$candidate
    version=$candidate
    [[ -d $src ]] && return 0
    local work=$sources/$package-tmp
    rm -rf "$work"
    mkdir -p "$work"
    if (cd "$work" && apt-get source -qq "$package=$candidate" >/dev/null 2>&1); then
      mv "$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)" "$src"
      rm -rf "$work"
      return 0
    fi
    rm -rf "$work"
  done
  echo "windows-deps ($arch): no source of $package could be fetched" >&2
  return 1
}

cmake_cross() {
  local name=$1 source=$2
  shift 2
  cmake -S "$source" -B "$deps/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$deps/build-$name" -j "$jobs" >/dev/null
  cmake --install "$deps/build-$name" >/dev/null
}

# TinyXML: four sources, built with STL strings as Debian builds it.
if ! built tinyxml; then
  fetch_source tinyxml
  echo "windows-deps ($arch): TinyXML $version"
  obj=$deps/build-tinyxml
  mkdir -p "$obj"
  for file in tinyxml tinystr tinyxmlerror tinyxmlparser; do
    $mingw-g++-posix -O2 -DTIXML_USE_STL -c "$src/$file.cpp" -o "$obj/$file.o"
  done
  $mingw-ar rcs "$prefix/lib/libtinyxml.a" "$obj"/*.o
  cp "$src/tinyxml.h" "$src/tinystr.h" "$prefix/include/"
  stamp tinyxml "$version"
fi

# Zstandard: the static library only.
if ! built zstd; then
  fetch_source libzstd
  echo "windows-deps ($arch): Zstandard $version"
  cmake_cross zstd "$src/build/cmake" -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_SHARED=OFF \
    -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF
  stamp zstd "$version"
fi

# libdeflate: its Makefile does not cross-build cleanly, so its library
# sources are compiled directly (the CPU-specific ones pick themselves by
# architecture).
if ! built libdeflate; then
  fetch_source libdeflate
  echo "windows-deps ($arch): libdeflate $version"
  obj=$deps/build-libdeflate
  rm -rf "$obj"
  mkdir -p "$obj"
  for file in "$src"/lib/*.c "$src"/lib/*/*.c; do
    name=${file#"$src"/lib/}
    $mingw-gcc-posix -O2 -I"$src" -c "$file" -o "$obj/${name//\//_}.o"
  done
  $mingw-ar rcs "$prefix/lib/libdeflate.a" "$obj"/*.o
  cp "$src/libdeflate.h" "$prefix/include/"
  stamp libdeflate "$version"
fi

# libpng: the static library only.
if ! built libpng; then
  fetch_source libpng1.6
  echo "windows-deps ($arch): libpng $version"
  cmake_cross libpng "$src" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -DSKIP_INSTALL_PROGRAMS=ON
  stamp libpng "$version"
fi

# GoogleTest from the source Debian ships with libgtest-dev.
if ! built googletest; then
  version=$(dpkg-query -W -f='${Version}' googletest)
  echo "windows-deps ($arch): GoogleTest $version"
  cmake_cross googletest /usr/src/googletest -Dgtest_force_shared_crt=ON
  stamp googletest "$version"
fi

# Google Benchmark.
if ! built benchmark; then
  fetch_source benchmark
  echo "windows-deps ($arch): Google Benchmark $version"
  cmake_cross benchmark "$src" -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON -DGIT_VERSION="${version%%-*}"
  stamp benchmark "$version"
fi

# Header-only libraries.
ln -sfn /usr/include/boost "$prefix/include/boost"
ln -sfn /usr/include/flatbuffers "$prefix/include/flatbuffers"
