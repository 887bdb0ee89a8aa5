# Third-party libraries, found once for every folder. Debian's packages on
# Linux; for the Windows build the mingw-w64 zlib and the libraries that
# scripts/windows-deps.sh cross-builds (static only).
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
  set(PNG_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(zstd REQUIRED)
if(TARGET zstd::libzstd_static)
  set(VFK_ZSTD zstd::libzstd_static)
else()
  set(VFK_ZSTD zstd::libzstd_shared)
endif()

# TinyXML has no CMake package; Debian's header turns on its STL interface.
find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
find_library(TINYXML_LIBRARY tinyxml REQUIRED)
# libdeflate: no CMake package in Debian's 1.14; the Windows build's is a
# plain static library.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
find_library(LIBDEFLATE_LIBRARY deflate REQUIRED)
# Header-only: Boost (lexical_cast) and FlatBuffers; flatc runs on the host.
find_path(BOOST_INCLUDE_DIR boost/lexical_cast.hpp REQUIRED)
find_path(FLATBUFFERS_INCLUDE_DIR flatbuffers/flatbuffers.h REQUIRED)
find_program(FLATC flatc REQUIRED)
