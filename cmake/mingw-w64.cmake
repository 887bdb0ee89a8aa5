# Windows x86-64 (see mingw-w64-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VFK_MINGW x86_64-w64-mingw32)
set(VFK_DEPS_FOLDER windows-deps)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
