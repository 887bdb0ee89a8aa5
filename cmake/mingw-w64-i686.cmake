# Windows 32-bit x86 (see mingw-w64-common.cmake): the DLL that 32-bit
# programs on 64-bit Windows load.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VFK_MINGW i686-w64-mingw32)
set(VFK_DEPS_FOLDER windows-x86-deps)
# SSE2 (every processor 64-bit Windows runs on has it) for the vector code,
# and for floating point, so that the resampling steps computed in double
# precision are the same as in the 64-bit build (x87 rounds differently).
# Windows aligns 32-bit stacks to 4 bytes only: functions that keep SSE
# values on the stack realign it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
