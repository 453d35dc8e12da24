# Cross-compiles the 32-bit Windows program with Debian's mingw-w64 (posix threads).
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
