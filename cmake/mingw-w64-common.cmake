# Cross build for Windows with Debian's mingw-w64 (posix thread model), for
# the target triplet in VFK_MINGW. Programs link the C++ runtime, libgcc and
# winpthread statically, so they run under Wine or Windows with no MinGW DLL
# beside them; CTest runs them under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VFK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VFK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VFK_MINGW}-windres)

# Third-party libraries cross-built by scripts/windows-deps.sh, and the
# headers-only ones it exposes.
get_filename_component(VFK_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VFK_WINDOWS_DEPS "${VFK_SOURCE_ROOT}/build/${VFK_DEPS_FOLDER}/prefix" CACHE PATH
    "Prefix of the cross-built Windows dependencies")

set(CMAKE_FIND_ROOT_PATH /usr/${VFK_MINGW} ${VFK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR "${VFK_SOURCE_ROOT}/scripts/wine-run.sh")
