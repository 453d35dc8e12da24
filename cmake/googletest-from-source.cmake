# GoogleTest built with the cross compiler from Debian's source package
# (googletest, in /usr/src/googletest): no prebuilt library fits the target.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own code is not held to this project's rules.
set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
