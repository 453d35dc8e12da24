# The Windows program: a GUI-subsystem executable with its icon, version
# information and manifest, and a private Wine prefix for running the tests.
# The version resource and the manifest carry the project's version, and the
# former the copyright line of LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE CONNECTOR_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(${PROJECT_SOURCE_DIR}/app/version.h.in ${PROJECT_BINARY_DIR}/app/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/app/connector.manifest.in
               ${PROJECT_BINARY_DIR}/app/connector.manifest @ONLY)
target_sources(connector PRIVATE app/connector.rc)
# windres reads these files without telling the build.
set_source_files_properties(app/connector.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_BINARY_DIR}/app/version.h;${PROJECT_BINARY_DIR}/app/connector.manifest;${PROJECT_SOURCE_DIR}/app/icon/connector.ico")
target_include_directories(connector PRIVATE ${PROJECT_BINARY_DIR}/app ${PROJECT_SOURCE_DIR}/app)
set_target_properties(connector PROPERTIES WIN32_EXECUTABLE ON)

# Wine creates its prefix on first start, which takes far longer than a test
# may wait; do it once while building.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(wine_prefix_stamp ${PROJECT_BINARY_DIR}/wineprefix/system.reg)
  add_custom_command(OUTPUT ${wine_prefix_stamp}
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i
    COMMENT "Creating the Wine prefix for the tests")
  add_custom_target(wine_prefix ALL DEPENDS ${wine_prefix_stamp})
endif()
