# Cross-compiles the 64-bit Windows program with Debian's mingw-w64 (posix threads).
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
