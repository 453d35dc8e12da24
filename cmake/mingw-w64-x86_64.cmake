# Cross-compiles the 64-bit Windows program with Debian's mingw-w64 (posix threads).
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# The 64-bit programs run here under Wine (64-bit only: no i386 packages), so
# ctest runs the tests. Each build tree has its own prefix, created while
# building (cmake/windows.cmake), so a fresh build starts from a clean one.
find_program(WINE_PROGRAM wine NO_CMAKE_FIND_ROOT_PATH)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${CMAKE_BINARY_DIR}/wineprefix)
endif()
